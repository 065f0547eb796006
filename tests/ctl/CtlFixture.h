#pragma once
// mwctl against the real mwservice on a private session bus, with a temporary
// home and a tree to clean.

#include "E2eSupport.h"
#include "TestBus.h"

#include <QJsonObject>
#include <gtest/gtest.h>
#include <memory>

namespace MW::Test {

inline const std::string kMwCtl = MW_CTL_BINARY;

// Parses a JSON document; fails the test (and yields {}) when it is not one.
QJsonObject parseJson(const std::string& text);

// Runs argv as uid/gid 65534 when the test runs as root.
std::vector<std::string> asNobody(std::vector<std::string> argv);
// Gives a file or folder to uid 65534 when the test runs as root.
void giveToNobody(const std::string& path);

class CtlTest : public ::testing::Test {
protected:
    CtlTest();
    ~CtlTest() override;

    // Starts mwservice on the bus; `extra` is added to its environment.
    void startService(const Env& extra = {}, bool unprivileged = false);
    // Runs mwctl with the bus's address and no reachable system bus.
    CommandResult ctl(const std::vector<std::string>& args, const Env& extra = {}) const;
    std::string config(const std::string& name) const;
    std::string engine(const std::string& name) const;
    // Files older than `days` days, with `size` bytes.
    void makeFile(const std::string& path, std::size_t size, long days) const;

    Sandbox sandbox;
    TestBus bus;
    TempDir tree;
    std::string state;
    std::unique_ptr<Child> service;
};

} // namespace MW::Test
