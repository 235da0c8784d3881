#pragma once

// The automation server: automation clients of the same user connect to
// 127.0.0.1, present the token published in "endpoint.json" and call one
// tool per connection. One request line in, one reply line out (compact
// JSON, keys sorted), then the server closes its side. At most 16
// connections, each for at most 15 seconds; one process per data folder
// serves. Main thread only.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QUuid>

#include "tevro/automation/automation_endpoint.h"
#include "tevro/automation/automation_result.h"
#include "tevro/core/json_value.h"

class QTcpServer;

namespace tevro {

class AutomationServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 16;
    static constexpr std::size_t kReadSize = 65'536;
    static constexpr std::size_t kMaxReply = 8'388'608;
    static constexpr const char* kEncodingFailed =
        R"({"ok":false,"error":"Response encoding failed"})";
    static constexpr const char* kReplyTooLarge = R"({"ok":false,"error":"Response too large"})";

    // A tool's result, or the message of its failure.
    using Result = std::expected<AutomationResult, std::string>;
    using Call = std::function<void(const std::string& name, const Json& arguments,
                                    std::function<void(Result)> done)>;

    struct Options {
        std::chrono::milliseconds connectionTimeout{15000};
    };

    // `folder` is the "automation" folder of the data folder.
    AutomationServer(std::filesystem::path folder, Call call, QObject* parent = nullptr);
    AutomationServer(std::filesystem::path folder, Call call, Options options,
                     QObject* parent = nullptr);
    ~AutomationServer() override;

    // Locks, makes a token, listens and publishes the endpoint; failures are
    // written to standard error and leave the server stopped. Nothing when
    // TEVRO_MCP_DISABLED is "1" or another process serves this data folder.
    void start();
    // Closes everything and, when the lock is held, removes "endpoint.json".
    void stop();

    bool isListening() const { return m_listener != nullptr; }
    std::uint16_t port() const;
    const std::string& token() const { return m_token; }
    int openConnections() const { return static_cast<int>(m_connections.size()); }

    // The reply line: compact JSON with sorted keys and a line feed, or one
    // of the two fixed texts.
    static std::string encodeReply(const Json& reply);
    // The reply line of a tool's result, in pieces sent one after another: a
    // written document goes out as it is, never copied into one line.
    static std::vector<std::string> replyPieces(Result result);

private:
    struct Connection;

    void fail(const std::string& message);
    void accept(int fd);
    // Closes the connections whose clients have gone, before a newcomer is
    // refused for want of room.
    void dropClosedPeers();
    void readFrom(const QUuid& id);
    void respond(const QUuid& id, Result result);
    void sendFrom(const QUuid& id);
    void close(const QUuid& id);

    AutomationEndpoint m_endpoint;
    Call m_call;
    Options m_options;
    QTcpServer* m_listener = nullptr;
    std::map<QUuid, std::unique_ptr<Connection>> m_connections;
    std::string m_token;
};

} // namespace tevro
