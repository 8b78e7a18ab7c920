#include "server/TlsContext.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

namespace {

// The reason OpenSSL gives for the last failure, on one line.
std::string lastError()
{
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    ERR_clear_error();
    return text;
}

} // namespace

TlsContext::TlsContext(const std::string& certificateFile, const std::string& keyFile)
    : m_context(SSL_CTX_new(TLS_server_method()), SSL_CTX_free)
{
    if (!m_context) {
        m_error = lastError();
        return;
    }
    SSL_CTX* context = m_context.get();
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
    if (SSL_CTX_use_certificate_chain_file(context, certificateFile.c_str()) != 1)
        m_error = certificateFile + ": " + lastError();
    else if (SSL_CTX_use_PrivateKey_file(context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
        m_error = keyFile + ": " + lastError();
    else if (SSL_CTX_check_private_key(context) != 1)
        m_error = keyFile + ": the key does not belong to the certificate";
    if (!m_error.empty())
        m_context.reset();
}

SSL* TlsContext::session() const
{
    return m_context ? SSL_new(m_context.get()) : nullptr;
}
