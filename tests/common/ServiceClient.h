#pragma once

#include "core/rules/XmlDocument.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

// A client of the platform's services, with the session a mailbox's page opens (none for
// an empty mailbox name), sending what the editor sends unless a test says otherwise.
struct ServiceClient {
    explicit ServiceClient(int port, const std::string& mailbox = "supplier")
        : http("127.0.0.1", port)
    {
        http.set_url_encode(false);
        if (mailbox.empty())
            return;
        if (const httplib::Result page = http.Get("/edi/" + mailbox + "/Order.aspx")) {
            setCookie = page->get_header_value("Set-Cookie");
            pageHtml = page->body;
        }
        cookie = setCookie.substr(0, setCookie.find(';'));
    }
    XmlDocument post(const std::string& path, const QByteArray& body, httplib::Headers headers = {},
                     const char* type = "text/xml; charset=utf-8")
    {
        if (!cookie.empty())
            headers.emplace("Cookie", cookie);
        const httplib::Result answer = http.Post(path, headers, body.toStdString(), type);
        httpStatus = answer ? answer->status : -1;
        return XmlDocument::fromBytes(answer ? QByteArray::fromStdString(answer->body) : "");
    }
    // The number of the order handed out; empty when there was none.
    QString takeOrder(const std::string& path = "/edi/supplier/OrderData.aspx",
                      const QString& deleteAfter = "true")
    {
        return post(path, "<order-request><deleteafter>" + deleteAfter.toUtf8() +
                              "</deleteafter></order-request>")
            .selectSingleNode("/receive-document-response/document-content/Document-Order")
            .text();
    }
    QString uploadStatus(const QByteArray& body,
                         const std::string& path = "/edi/supplier/Upload.aspx")
    {
        return post(path, body)
            .selectSingleNode("/send-document-response/submission-status")
            .text();
    }

    httplib::Client http;
    std::string setCookie;
    std::string cookie;
    std::string pageHtml;
    int httpStatus = -1;
};

// A connection made by hand, for what a well-behaved client never sends: a head or a body
// a byte at a time, chunks, lengths that lie. It may come from any loopback address, as
// clients of different hosts would.
class RawConnection {
public:
    explicit RawConnection(int port, const char* from = "127.0.0.1")
        : m_sock(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in local{}, server{};
        local.sin_family = server.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &local.sin_addr);
        server.sin_port = htons(quint16(port));
        server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::bind(m_sock, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
                      ::connect(m_sock, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0;
    }
    ~RawConnection() { ::close(m_sock); }
    Q_DISABLE_COPY(RawConnection)

    bool isConnected() const { return m_connected; }
    // Sends all of it; false once the server has closed.
    bool send(const QByteArray& bytes) const
    {
        for (qsizetype sent = 0; sent < bytes.size();) {
            const ssize_t n =
                ::send(m_sock, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += n;
        }
        return true;
    }
    // The answer's status code and body, reading for at most `seconds`; status 0 when the
    // connection closed before an answer came. What came after the answer is kept for the
    // next one.
    int answer(QByteArray* body = nullptr, int seconds = 10)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        for (char buffer[65536];;) {
            const qsizetype head = m_got.indexOf("\r\n\r\n");
            const qsizetype at = m_got.indexOf("\r\nContent-Length: ");
            const qsizetype length =
                at < 0 || at > head
                    ? 0
                    : m_got.mid(at + 18, m_got.indexOf('\r', at + 2) - at - 18).toLongLong();
            if (head >= 0 && m_got.size() >= head + 4 + length) {
                m_head = m_got.left(head + 2);
                if (body)
                    *body = m_got.mid(head + 4, length);
                const int status = m_got.startsWith("HTTP/1.1 ") ? m_got.mid(9, 3).toInt() : 0;
                m_got.remove(0, head + 4 + length);
                return status;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd fd{m_sock, POLLIN, 0};
            const ssize_t n = left.count() > 0 && ::poll(&fd, 1, int(left.count())) > 0
                                  ? ::recv(m_sock, buffer, sizeof buffer, 0)
                                  : 0;
            if (n <= 0)
                return 0;
            m_got.append(buffer, n);
        }
    }
    // The status line and header lines of the last answer, each ending in CRLF.
    const QByteArray& head() const { return m_head; }
    // Whether the server has closed the connection, reading what it sent without waiting.
    bool closedByServer() const
    {
        char buffer[4096];
        ssize_t n = 1;
        while (n > 0)
            n = ::recv(m_sock, buffer, sizeof buffer, MSG_DONTWAIT);
        return n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
    }

private:
    int m_sock;
    bool m_connected = false;
    QByteArray m_head, m_got; // m_got: read past the last answer
};
