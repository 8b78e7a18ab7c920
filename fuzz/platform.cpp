// The reference server's services: the same body as a partner information request, an
// order request, an order waiting in the mailbox and an upload.
#include "FuzzSupport.h"

#include "core/rules/XmlDocument.h"
#include "server/Answers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    Answers::requestedPartner(body);
    Answers::deliveryRequested(body);
    if (const std::optional<QString> refusal = Answers::uploadRefusal(body))
        Answers::uploadStatus(*refusal);
    QString refusal;
    if (const std::optional<std::string> answer =
            Answers::orderAnswer(QByteArray::fromStdString(body), refusal))
        XmlDocument::fromBytes(QByteArray::fromStdString(*answer));
    return 0;
}
