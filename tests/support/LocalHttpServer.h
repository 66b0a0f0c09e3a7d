// LocalHttpServer: a real HTTP/1.1 server on 127.0.0.1 for tests, on its own threads.
//
// Each route's handler writes the raw answer itself through a Connection, so a test controls status
// lines, lengths, chunking, stalls and broken-off bodies exactly. One request per connection; the
// connection is closed when the handler returns. Unknown paths answer 404. The destructor wakes every
// stalled handler and joins all threads.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace brisklet::test {

struct HttpRequest {
    std::string method;
    std::string target;                         // path and query as sent
    std::map<std::string, std::string> headers; // names in lower case
};

class HttpConnection {
public:
    HttpConnection(int fd, int stopFd) : m_fd(fd), m_stopFd(stopFd) {}

    // Raw bytes; false once the client has gone away.
    bool send(std::string_view bytes);
    // A whole answer: status line, Content-Length unless omitted, Connection: close, body.
    bool respond(int status, std::string_view body, bool withContentLength = true);
    // A chunked answer (Transfer-Encoding: chunked), one chunk per piece, and the final empty chunk.
    bool respondChunked(int status, const std::vector<std::string>& pieces);
    // Just the head of a 200 answer with the given Content-Length (negative: none, close-delimited).
    bool sendHead(int status, long long contentLength);
    // Sends nothing more until the client closes the connection or the server stops.
    void stall();

private:
    int m_fd;
    int m_stopFd;
};

class LocalHttpServer {
public:
    using Handler = std::function<void(const HttpRequest&, HttpConnection&)>;

    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    // Exact match on the request target's path (query ignored).
    void route(const std::string& path, Handler handler);
    // Convenience: a fixed answer with Content-Length.
    void serve(const std::string& path, int status, std::string body);

    int port() const { return m_port; }
    // "http://127.0.0.1:PORT" + path.
    std::string url(const std::string& path) const;
    // Every request received so far, in order of arrival.
    std::vector<HttpRequest> requests() const;

private:
    void acceptLoop();
    void handle(int fd);

    int m_listenFd = -1;
    int m_stopPipe[2] = {-1, -1};
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::map<std::string, Handler> m_routes;
    std::vector<HttpRequest> m_requests;
    std::vector<std::thread> m_connections;
    std::thread m_acceptThread;
};

// The reason phrase for common status codes ("OK", "Not Found", ...).
const char* reasonPhrase(int status);

} // namespace brisklet::test
