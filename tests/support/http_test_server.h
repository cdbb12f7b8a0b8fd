#pragma once

// A tiny HTTP server on 127.0.0.1 for the tests of network reads: one thread accepts on an ephemeral
// port, one thread answers each connection. Paths: /hello (200, "hello, world" with its length),
// /ten (200, ten bytes, no length: the end of the connection ends the body), /missing (404),
// /redirect (302 to /hello), /slow (200, 1000 bytes announced, sent 10 at a time over about a second).

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pap::test {

class HttpTestServer {
public:
    HttpTestServer()
    {
#ifdef _WIN32
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
#endif
        m_listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_listener, 16);
        socklen_t length = sizeof address;
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_acceptor = std::thread([this] { acceptLoop(); });
    }

    ~HttpTestServer()
    {
        m_stop = true;
        m_acceptor.join();
        for (auto& thread : m_connections)
            thread.join();
        closeSocket(m_listener);
#ifdef _WIN32
        WSACleanup();
#endif
    }

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }
    // Serves `body` (200, with its length) at `path` from now on.
    void add(const std::string& path, std::string body)
    {
        std::lock_guard<std::mutex> lock(m_filesLock);
        m_files[path] = std::move(body);
    }

private:
#ifdef _WIN32
    using Socket = SOCKET;
    static void closeSocket(Socket s) { closesocket(s); }
    static bool sendAll(Socket s, const std::string& bytes) { return send(s, bytes.data(), static_cast<int>(bytes.size()), 0) == static_cast<int>(bytes.size()); }
#else
    using Socket = int;
    static void closeSocket(Socket s) { close(s); }
    static bool sendAll(Socket s, const std::string& bytes) { return send(s, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size()); }
#endif

    // Waits up to 50 ms for the socket to become readable.
    static bool readable(Socket s)
    {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval wait{0, 50000};
        return select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &wait) > 0;
    }

    void acceptLoop()
    {
        while (!m_stop) {
            if (!readable(m_listener))
                continue;
            Socket client = accept(m_listener, nullptr, nullptr);
            m_connections.emplace_back([this, client] { answer(client); });
        }
    }

    void answer(Socket client)
    {
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384 && !m_stop) {
            if (!readable(client))
                continue;
            const int got = static_cast<int>(recv(client, buffer, sizeof buffer, 0));
            if (got <= 0)
                break;
            request.append(buffer, static_cast<size_t>(got));
        }
        const size_t space = request.find(' ');
        const std::string path = space == std::string::npos ? "" : request.substr(space + 1, request.find(' ', space + 1) - space - 1);
        const std::string plain = "Content-Type: application/octet-stream\r\nConnection: close\r\n";
        std::optional<std::string> file;
        {
            std::lock_guard<std::mutex> lock(m_filesLock);
            if (auto it = m_files.find(path); it != m_files.end())
                file = it->second;
        }
        if (file) {
            sendAll(client, "HTTP/1.1 200 OK\r\n" + plain + "Content-Length: " + std::to_string(file->size()) + "\r\n\r\n" + *file);
        } else if (path == "/hello") {
            sendAll(client, "HTTP/1.1 200 OK\r\n" + plain + "Content-Length: 12\r\n\r\nhello, world");
        } else if (path == "/ten") {
            sendAll(client, "HTTP/1.0 200 OK\r\n" + plain + "\r\n0123456789");
        } else if (path == "/redirect") {
            sendAll(client, "HTTP/1.1 302 Found\r\nLocation: /hello\r\nContent-Length: 0\r\n" + plain + "\r\n");
        } else if (path == "/slow") {
            bool open = sendAll(client, "HTTP/1.1 200 OK\r\n" + plain + "Content-Length: 1000\r\n\r\n");
            for (int i = 0; i < 100 && open && !m_stop; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                open = sendAll(client, "abcdefghij");
            }
        } else {
            sendAll(client, "HTTP/1.1 404 Not Found\r\n" + plain + "Content-Length: 9\r\n\r\nnot found");
        }
        closeSocket(client);
    }

    std::mutex m_filesLock;
    std::map<std::string, std::string> m_files;
    Socket m_listener;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_acceptor;
    // Touched only by the acceptor thread until it has ended.
    std::vector<std::thread> m_connections;
};

}  // namespace pap::test
