#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <string>

// What the services make of the documents they are sent, apart from sessions and the
// mailbox: plain functions of a request's body.
namespace Answers {

std::string errorAnswer(const QString& text);
std::string uploadStatus(const QString& status);

// The location number a partner information request asks for; nothing when it names none.
std::optional<QString> requestedPartner(const std::string& body);
// Whether an order request asks for the order to be taken out of the waiting ones.
bool deliveryRequested(const std::string& body);
// A waiting order's document as it is handed out; nothing, and the reason in `refusal`,
// when the order is not a well-formed Document-Order.
std::optional<std::string> orderDocument(const QByteArray& order, QString& refusal);
// The answer carrying an order's document, as the control expects it, and how many orders
// wait behind it for the window's next-order button.
std::string orderAnswer(const std::string& document, int waitingBehind);
// Why an upload is not stored, or nothing when it is an order response.
std::optional<QString> uploadRefusal(const std::string& body);

} // namespace Answers
