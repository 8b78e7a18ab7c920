#pragma once

#include <QByteArray>
#include <QString>

// Input the parser would spend far more on than its size is refused before it is parsed.
namespace XmlLimits {

// Refuses, in one linear pass, one element with many attributes (the parser compares each
// attribute with all before it), so many elements that the document would take more memory
// than four times the largest input, input over the size limit, and an encoding whose
// markup the count cannot see. Returns the reason, or nothing when the input may be parsed;
// input that is not well-formed is left to the parser to refuse. With `declarationCounts`
// the encoding the bytes declare is judged too.
QString refusal(const QByteArray& bytes, bool declarationCounts);
QString tooLarge();

} // namespace XmlLimits
