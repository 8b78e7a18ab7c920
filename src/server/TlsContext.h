#pragma once

#include <httplib.h>

#include <memory>
#include <string>

// The server's certificate chain and key, loaded once, from which each connection's TLS
// session is made. TLS 1.2 at least.
class TlsContext {
public:
    // Loads the chain and its key; `error` says what failed when the context is not valid.
    TlsContext(const std::string& certificateFile, const std::string& keyFile);
    bool isValid() const { return m_context != nullptr; }
    std::string error() const { return m_error; }
    // A session for one connection, owned by the caller; null when none can be made.
    SSL* session() const;

private:
    std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> m_context;
    std::string m_error;
};
