#pragma once

#include "core/rules/Chooser.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QToolButton;
struct ProcessState;

// The folder and file chooser: a drive list, a folder list and a list of the folder's
// XML files. There is one per process; it keeps its drive, folder and file between
// openings.
class ChooserDialog : public QDialog, public ChooserPort {
    Q_OBJECT
public:
    static ChooserDialog& instance();

    void setOwner(QWidget* owner);
    // Where the chosen path is left: the process state of the control that opens it.
    void setProcess(ProcessState& process) { m_process = &process; }
    void run(Mode mode, const QString& title, const QString& proposedName) override;

    QString folder() const { return m_folder; }
    void setFolder(const QString& folder);

private:
    ChooserDialog();
    void setDrive(const QString& root);
    void refreshFiles();
    void ok();
    Mode mode() const;

    ProcessState* m_process = nullptr;
    QString m_folder;
    QComboBox* m_drive;
    QListWidget* m_folders;
    QListWidget* m_files;
    QLineEdit* m_fileName;
    QLineEdit* m_pathLabel;
    QPushButton* m_modeButton;
    QToolButton* m_load;
    QToolButton* m_save;
    QToolButton* m_close;
};
