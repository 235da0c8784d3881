#pragma once

// The real tevro executable run by a test: its own data folder, an optional
// control port to read its state document from, standard error kept in a
// file, and what /proc says of it (whether it runs an engine). Header-only;
// needs Qt Network and a running Qt application for QProcess.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTcpSocket>

#include <nlohmann/json.hpp>

namespace tevro::test {

class TevroProcess {
public:
    struct Options {
        std::filesystem::path home;
        // The folder the launch starts in; the test's own when empty.
        std::filesystem::path workingFolder;
        // 0: no control server.
        int controlPort = 0;
        // Further environment, added last.
        QProcessEnvironment extra;
        // Runs in the child before exec (limits, signals).
        std::function<void()> childSetup;
    };

    TevroProcess(std::filesystem::path executable, Options options)
        : m_executable(std::move(executable)), m_options(std::move(options)) {}
    ~TevroProcess() {
        if (m_process.state() != QProcess::NotRunning) {
            ::kill(pid(), SIGCONT);
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }
    TevroProcess(const TevroProcess&) = delete;
    TevroProcess& operator=(const TevroProcess&) = delete;

    void start(const QStringList& arguments = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TEVRO_HOME", QString::fromStdString(m_options.home.string()));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TEVRO_SILENT", "1");
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
        // The kit's test channel asks the offers service only on loopback.
        env.insert("QUORVEL_TEST_ROOT",
                   QString::fromStdString((m_options.home.parent_path() / "kit").string()));
        env.remove("TEVRO_CONTROL_PORT");
        env.remove("QUORVEL_RELAUNCH_AFTER");
        if (m_options.controlPort)
            env.insert("TEVRO_CONTROL_PORT", QString::number(m_options.controlPort));
        env.insert(m_options.extra);
        m_process.setProcessEnvironment(env);
        if (!m_options.workingFolder.empty())
            m_process.setWorkingDirectory(QString::fromStdString(m_options.workingFolder.string()));
        static int serial = 0;
        m_errFile = m_options.home.parent_path() / ("tevro-" + std::to_string(::getpid()) + "-" +
                                                    std::to_string(++serial) + ".err");
        m_process.setStandardErrorFile(QString::fromStdString(m_errFile.string()));
        m_process.setStandardOutputFile(QProcess::nullDevice());
        if (m_options.childSetup)
            m_process.setChildProcessModifier(m_options.childSetup);
        m_process.start(QString::fromStdString(m_executable.string()), arguments);
        m_process.waitForStarted(30000);
    }

    pid_t pid() const { return static_cast<pid_t>(m_process.processId()); }
    bool running() const {
        // QProcess learns of the exit from its event loop: ask the kernel.
        if (m_process.state() == QProcess::NotRunning)
            return false;
        std::ifstream status("/proc/" + std::to_string(pid()) + "/stat");
        std::string pidText, name, state;
        status >> pidText >> name >> state;
        return status && state != "Z" && state != "X";
    }
    // Waits for the exit; the exit code, or none when it did not end in time or crashed.
    std::optional<int> waitForExit(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        if (!m_process.waitForFinished(static_cast<int>(limit.count())) &&
            m_process.state() != QProcess::NotRunning)
            return std::nullopt;
        if (m_process.exitStatus() != QProcess::NormalExit)
            return std::nullopt;
        return m_process.exitCode();
    }
    void signal(int sig) const { ::kill(pid(), sig); }

    // Standard error so far.
    std::string errors() const {
        std::ifstream in(m_errFile);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // A thread of the engine's serial queue: this process runs an engine.
    bool hasEngine() const {
        if (!running())
            return false;
        std::error_code ec;
        std::filesystem::path tasks = "/proc/" + std::to_string(pid()) + "/task";
        for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
            std::ifstream comm(task.path() / "comm");
            std::string name;
            std::getline(comm, name);
            if (name == "tevro.engine")
                return true;
        }
        return false;
    }

    // The control server's state document, when it answers.
    std::optional<nlohmann::json> state() const { return get("/state"); }
    std::optional<nlohmann::json> get(const std::string& route) const {
        if (!m_options.controlPort)
            return std::nullopt;
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(m_options.controlPort));
        if (!socket.waitForConnected(500))
            return std::nullopt;
        socket.write(QByteArray::fromStdString("GET " + route + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                                               std::to_string(m_options.controlPort) +
                                               "\r\nConnection: close\r\n\r\n"));
        QByteArray reply;
        while (socket.waitForReadyRead(5000))
            reply += socket.readAll();
        int body = reply.indexOf("\r\n\r\n");
        if (body < 0)
            return std::nullopt;
        auto parsed = nlohmann::json::parse(reply.mid(body + 4).toStdString(), nullptr, false);
        if (parsed.is_discarded())
            return std::nullopt;
        return parsed;
    }

private:
    std::filesystem::path m_executable;
    Options m_options;
    QProcess m_process;
    std::filesystem::path m_errFile;
};

} // namespace tevro::test
