#pragma once

#include <QString>

class Confirmation;
class MessageSink;
class QWidget;

// Файл → Печать… and Экспорт в PDF…: the printed confirmation in a preview that prints,
// and the same pages written to a PDF file the clerk names.
namespace PrintCommands {

// Shows the pages in a print preview, from which they are printed.
void preview(QWidget* parent, const Confirmation& form);
// Asks for the file when `path` is empty (proposing the confirmation's name in the last
// folder used) and writes the PDF; a failed write is told. The file written, else empty.
QString exportPdf(QWidget* parent, const Confirmation& form, MessageSink& messages,
                  QString path = {});

} // namespace PrintCommands
