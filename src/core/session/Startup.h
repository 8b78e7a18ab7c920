#pragma once

class Confirmation;
class XmlDocument;

// The part of the start-up that follows a fetched order.
namespace Startup {

// The buyer is the partner, the seller the user; their names go on the surface.
void setParties(Confirmation& form);
// Fills the form from the order and counts the lines that pass the line check, leaving
// row 1, column 1 current. False when the order reader reported an error.
bool takeOrder(Confirmation& form, const XmlDocument& order);
// Counts the lines that pass the line check, marking the ones that fail; leaves row 1,
// column 1 current.
void checkLines(Confirmation& form);
// The closing steps: price column for its buyer, header refresh, initial response type.
void finish(Confirmation& form);
// An order kept earlier, as a new confirmation: the form emptied and filled from it as an
// on-line start-up fills it, the send button enabled. False when the order reader
// reported an error.
bool openOrder(Confirmation& form, const XmlDocument& order);

} // namespace Startup
