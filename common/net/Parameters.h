#pragma once
// Request bodies: text parameters joined by a separator, sent as they are.

#include "CException.h"
#include "Messages.h"

#include <cstddef>
#include <memory>
#include <string>

namespace Cxx::Network::Http::HttpClient {

class IParameter {
public:
    virtual ~IParameter() = default;
    // The parameter's bytes (zero-terminated) and their count through `size`.
    virtual const char* GetData(std::size_t& size) const = 0;
};

// A text held as UTF-8. The text ends at its first zero unit.
class CSimpleTextParameter : public IParameter {
public:
    // Throws "Can't convert parameter to UTF-8 encoding." on an unpaired surrogate.
    explicit CSimpleTextParameter(const char16_t* text);
    explicit CSimpleTextParameter(const std::u16string& text)
        : CSimpleTextParameter(text.c_str()) {}

    // Throws "Parameter is empty." for an empty text.
    const char* GetData(std::size_t& size) const override;

private:
    std::string m_data;
};

class IParametersSet {
public:
    virtual ~IParametersSet() = default;
    virtual void Add(const std::shared_ptr<IParameter>& parameter) = 0;
    virtual void Clear() = 0;
    // The body and its length; throws when it is empty.
    virtual const char* GetData(std::size_t& size) const = 0;
};

// Joins the parameters' bytes with `Separator`, without any encoding.
template <char Separator> class CSimplePostParametersSet : public IParametersSet {
public:
    void Add(const std::shared_ptr<IParameter>& parameter) override {
        // Ask first, so a failing parameter leaves the body as it was.
        std::size_t size = 0;
        const char* data = parameter ? parameter->GetData(size) : nullptr;
        if (size == 0 || data == nullptr)
            throw Exception::CNetworkException(Messages::kSetBadParameter);
        if (!m_body.empty())
            m_body += Separator;
        // Up to the terminating zero, never past the reported size.
        std::size_t length = 0;
        while (length < size && data[length] != '\0')
            ++length;
        m_body.append(data, length);
    }

    void Clear() override { m_body.clear(); }

    const char* GetData(std::size_t& size) const override {
        size = m_body.size();
        if (size == 0)
            throw Exception::CNetworkException(Messages::kSetEmpty);
        return m_body.c_str();
    }

private:
    std::string m_body;
};

} // namespace Cxx::Network::Http::HttpClient
