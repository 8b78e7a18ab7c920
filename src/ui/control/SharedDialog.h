#pragma once

class QDialog;
class QWidget;

// The process has one of each dialog, shown over whichever control asks for it. It is
// parented to that control while shown, but lives as long as the process: it must not
// go down with the control.
namespace SharedDialog {
void setOwner(QDialog& dialog, QWidget* owner);
} // namespace SharedDialog
