#include "CtlFixture.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <sys/stat.h>
#include <unistd.h>

namespace MW::Test {

QJsonObject parseJson(const std::string& text) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n"
                                                     << text;
    EXPECT_TRUE(doc.isObject()) << text;
    return doc.object();
}

std::vector<std::string> asNobody(std::vector<std::string> argv) {
    if (::geteuid() != 0)
        return argv;
    argv.insert(argv.begin(),
                {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
    return argv;
}

void giveToNobody(const std::string& path) {
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0) << path;
    }
}

CtlTest::CtlTest() : state(tree / "state") {
    ::chmod(tree.path().c_str(), 0755);
    ::mkdir(state.c_str(), 0755);
}

CtlTest::~CtlTest() {
    if (service)
        service->signalAndWait(SIGTERM, 60);
}

void CtlTest::startService(const Env& extra, bool unprivileged) {
    Env env = sandbox.env();
    env.emplace_back("DBUS_SESSION_BUS_ADDRESS", bus.address());
    env.insert(env.end(), extra.begin(), extra.end());
    std::vector<std::string> argv{kMwService, "--bus=session", "--state-dir=" + state};
    if (unprivileged) {
        giveToNobody(state);
        argv = asNobody(argv);
    }
    service = std::make_unique<Child>(argv, env);
    ASSERT_TRUE(waitUntil([&] { return ownerPid(bus.address()) > 0; }));
}

CommandResult CtlTest::ctl(const std::vector<std::string>& args, const Env& extra) const {
    std::vector<std::string> argv{kMwCtl};
    argv.insert(argv.end(), args.begin(), args.end());
    Env env{{"DBUS_SESSION_BUS_ADDRESS", bus.address()},
            {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + sandbox.dir / "no-system-bus"},
            {"LC_ALL", "C.UTF-8"}};
    env.insert(env.end(), extra.begin(), extra.end());
    return runCommand(argv, env, 90);
}

std::string CtlTest::config(const std::string& name) const {
    return getProperty(bus.address(), kConfig, kConfigIface, name);
}

std::string CtlTest::engine(const std::string& name) const {
    return getProperty(bus.address(), kEngine, kEngineIface, name);
}

void CtlTest::makeFile(const std::string& path, std::size_t size, long days) const {
    writeFile(path, std::string(size, 'x'));
    setAge(path, days * 86400 + 60);
}

} // namespace MW::Test
