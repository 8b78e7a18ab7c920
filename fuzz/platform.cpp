// The reference server's services: the same bytes as a chunked request body, and as the
// body of a partner information request, an order request, an order waiting in the mailbox
// and an upload.
#include "FuzzSupport.h"

#include "core/rules/XmlDocument.h"
#include "server/Answers.h"
#include "server/BodyReader.h"

#include <algorithm>

namespace {

// A connection that holds the input, handed out in reads of a few bytes.
class InputStream : public httplib::Stream {
public:
    InputStream(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool is_readable() const override { return m_at < m_size; }
    bool is_writable() const override { return true; }
    ssize_t read(char* ptr, size_t size) override
    {
        const size_t n = std::min({size, m_size - m_at, size_t(7)});
        std::copy_n(m_data + m_at, n, ptr);
        m_at += n;
        return ssize_t(n);
    }
    ssize_t write(const char*, size_t size) override { return ssize_t(size); }
    void get_remote_ip_and_port(std::string&, int&) const override {}
    void get_local_ip_and_port(std::string&, int&) const override {}
    socket_t socket() const override { return -1; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    InputStream stream(data, size);
    std::string chunked;
    BodyReader::read(stream, BodyReader::Framing{BodyReader::Framing::Kind::Chunked, 0}, 4096,
                     chunked);
    // Whatever the chunks claim, no more than the limit is ever kept.
    if (chunked.size() > 4096)
        __builtin_trap();
    const std::string body(reinterpret_cast<const char*>(data), size);
    Answers::requestedPartner(body);
    Answers::deliveryRequested(body);
    if (const std::optional<QString> refusal = Answers::uploadRefusal(body))
        Answers::uploadStatus(*refusal);
    QString refusal;
    if (const std::optional<std::string> document =
            Answers::orderDocument(QByteArray::fromStdString(body), refusal))
        XmlDocument::fromBytes(QByteArray::fromStdString(Answers::orderAnswer(*document, 0)));
    return 0;
}
