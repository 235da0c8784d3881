#pragma once

// curl against a control server on 127.0.0.1, the way scripts and harnesses
// call it. The event loop runs while curl waits, so the server may live in
// the test's own process.

#include <chrono>
#include <string>

#include <QProcess>

#include "tests/support/qt_app.h"
#include "tevro/core/json_value.h"

namespace tevro::test {

struct CurlReply {
    int status = 0; // HTTP status; 0 when curl got none
    std::string body;
    Json json() const { return Json::parse(body, nullptr, false); }
};

// GET http://127.0.0.1:port + target, with `extra` curl arguments.
inline CurlReply curl(int port, const std::string& target, const QStringList& extra = {},
                      std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    QProcess process;
    QStringList args = {
        "-sS", "--noproxy",     "*", "--max-time", QString::number(timeout.count() / 1000),
        "-w",  "\n%{http_code}"};
    args << extra << QString("http://127.0.0.1:%1%2").arg(port).arg(QString::fromStdString(target));
    process.start("curl", args);
    process.waitForStarted();
    waitUntil([&] { return process.state() == QProcess::NotRunning; },
              timeout + std::chrono::seconds(5));
    std::string out = process.readAllStandardOutput().toStdString();
    CurlReply r;
    std::size_t cut = out.rfind('\n');
    if (cut == std::string::npos)
        return r;
    r.status = std::atoi(out.c_str() + cut + 1);
    r.body = out.substr(0, cut);
    return r;
}

} // namespace tevro::test
