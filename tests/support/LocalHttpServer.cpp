#include "LocalHttpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace brisklet::test {

namespace {

std::string lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

std::string trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// Reads up to the blank line that ends the request head; false on close, stop or a 10 s silence.
bool readHead(int fd, int stopFd, std::string& head)
{
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (::poll(fds, 2, 10000) <= 0 || fds[1].revents != 0)
            return false;
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return false;
        head.append(buffer, std::size_t(got));
        if (head.size() > 65536)
            return false;
    }
    return true;
}

HttpRequest parseHead(const std::string& head)
{
    HttpRequest request;
    std::size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const auto firstSpace = requestLine.find(' ');
    const auto secondSpace = requestLine.find(' ', firstSpace + 1);
    request.method = requestLine.substr(0, firstSpace);
    request.target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    std::size_t start = lineEnd + 2;
    while (start < head.size()) {
        lineEnd = head.find("\r\n", start);
        if (lineEnd == std::string::npos || lineEnd == start)
            break;
        const std::string line = head.substr(start, lineEnd - start);
        const auto colon = line.find(':');
        if (colon != std::string::npos)
            request.headers[lower(trim(line.substr(0, colon)))] = trim(line.substr(colon + 1));
        start = lineEnd + 2;
    }
    return request;
}

} // namespace

const char* reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 304: return "Not Modified";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

bool HttpConnection::send(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t sent = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(std::size_t(sent));
    }
    return true;
}

bool HttpConnection::sendHead(int status, long long contentLength)
{
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + reasonPhrase(status) + "\r\n";
    if (contentLength >= 0)
        head += "Content-Length: " + std::to_string(contentLength) + "\r\n";
    head += "Content-Type: application/octet-stream\r\nConnection: close\r\n\r\n";
    return send(head);
}

bool HttpConnection::respond(int status, std::string_view body, bool withContentLength)
{
    return sendHead(status, withContentLength ? static_cast<long long>(body.size()) : -1) && send(body);
}

bool HttpConnection::respondChunked(int status, const std::vector<std::string>& pieces)
{
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + reasonPhrase(status)
        + "\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    if (!send(head))
        return false;
    for (const auto& piece : pieces) {
        if (piece.empty())
            continue;
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
        if (!send(size) || !send(piece) || !send("\r\n"))
            return false;
    }
    return send("0\r\n\r\n");
}

void HttpConnection::stall()
{
    char buffer[4096];
    for (;;) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        if (fds[0].revents & (POLLHUP | POLLERR))
            return;
        if ((fds[0].revents & POLLIN) && ::recv(m_fd, buffer, sizeof buffer, 0) <= 0)
            return;
    }
}

LocalHttpServer::LocalHttpServer()
{
    if (::pipe2(m_stopPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2 failed");
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(m_listenFd, 64) != 0
        || ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    m_port = ntohs(address.sin_port);
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

LocalHttpServer::~LocalHttpServer()
{
    // Closing the write end wakes every poll on the read end, in every thread, for good.
    ::close(m_stopPipe[1]);
    m_acceptThread.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard lock(m_mutex);
        connections.swap(m_connections);
    }
    for (auto& thread : connections)
        thread.join();
    ::close(m_listenFd);
    ::close(m_stopPipe[0]);
}

void LocalHttpServer::route(const std::string& path, Handler handler)
{
    std::lock_guard lock(m_mutex);
    m_routes[path] = std::move(handler);
}

void LocalHttpServer::serve(const std::string& path, int status, std::string body)
{
    route(path, [status, body = std::move(body)](const HttpRequest&, HttpConnection& connection) {
        connection.respond(status, body);
    });
}

std::string LocalHttpServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<HttpRequest> LocalHttpServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void LocalHttpServer::acceptLoop()
{
    for (;;) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard lock(m_mutex);
        m_connections.emplace_back([this, fd] { handle(fd); });
    }
}

void LocalHttpServer::handle(int fd)
{
    std::string head;
    if (readHead(fd, m_stopPipe[0], head)) {
        const HttpRequest request = parseHead(head);
        const std::string path = request.target.substr(0, request.target.find('?'));
        Handler handler;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
            const auto found = m_routes.find(path);
            if (found != m_routes.end())
                handler = found->second;
        }
        HttpConnection connection(fd, m_stopPipe[0]);
        if (handler)
            handler(request, connection);
        else
            connection.respond(404, "not found");
    }
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
}

} // namespace brisklet::test
