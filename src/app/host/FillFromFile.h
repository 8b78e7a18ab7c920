#pragma once

#include <QString>

class Confirmation;
class MessageSink;
class QWidget;

// The clerk's fill of confirmed quantities from a warehouse's list: the response type is
// switched to a change first if the clerk agrees, the list is read (its columns asked
// for when its header names none), filled through the cell editor's rules, and what did
// not match is shown in a report. A list that cannot be read changes nothing.
namespace FillFromFile {
inline const QString Title = QStringLiteral("Заполнить из файла");

// Asks for the file when `path` is empty. Returns the report shown, empty when nothing
// was filled.
QString run(QWidget* parent, Confirmation& form, MessageSink& messages, QString path = {});
} // namespace FillFromFile
