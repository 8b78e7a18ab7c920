#include "ui/storage/ChooserDialog.h"

#include "core/form/ProcessState.h"
#include "ui/control/Icons.h"
#include "ui/control/SharedDialog.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString ParentFolder = QStringLiteral("..");

// The lists' scroll bars drawn plainly: a dark thumb on a light track. The default look
// draws a near-white thumb on a grey track, which reads as a thumb at the other end, or
// as two thumbs.
const QString ScrollBars = QStringLiteral(
    "QScrollBar { background: #ececec; border: none; }"
    "QScrollBar:vertical { width: 12px; }"
    "QScrollBar:horizontal { height: 12px; }"
    "QScrollBar::handle { background: #8a8a8a; border-radius: 4px; margin: 2px; }"
    "QScrollBar::handle:hover { background: #666666; }"
    "QScrollBar::handle:vertical { min-height: 24px; }"
    "QScrollBar::handle:horizontal { min-width: 24px; }"
    "QScrollBar::add-line, QScrollBar::sub-line { width: 0px; height: 0px; border: none; }"
    "QScrollBar::add-page, QScrollBar::sub-page { background: none; }");

QStringList roots()
{
    QStringList list;
    for (const QFileInfo& drive : QDir::drives())
        list.append(QDir::toNativeSeparators(drive.absoluteFilePath()));
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = QDir::toNativeSeparators(volume.rootPath());
        if (volume.isValid() && volume.isReady() && !list.contains(root))
            list.append(root);
    }
    return list;
}

} // namespace

ChooserDialog& ChooserDialog::instance()
{
    static ChooserDialog* dialog = new ChooserDialog;
    return *dialog;
}

ChooserDialog::ChooserDialog()
    : m_drive(new QComboBox), m_folders(new QListWidget), m_files(new QListWidget),
      m_fileName(new QLineEdit), m_pathLabel(new QLineEdit),
      m_modeButton(new QPushButton(Chooser::LoadCaption)),
      m_load(Icons::pictureButton(QStringLiteral("ImageWczytaj"), Icons::Picture::Load,
                                  QStringLiteral("Загрузить выбранный файл"))),
      m_save(Icons::pictureButton(QStringLiteral("ImageZapisz"), Icons::Picture::Save,
                                  QStringLiteral("Записать в этот файл"))),
      m_close(Icons::pictureButton(QStringLiteral("ImageZamknij"), Icons::Picture::Remove,
                                   QStringLiteral("Закрыть без выбора")))
{
    setObjectName(QStringLiteral("DlgWczytajZapisz"));
    setFont(QFont(QStringLiteral("Verdana"), 8));
    setModal(true);
    m_drive->setObjectName(QStringLiteral("Drive"));
    m_folders->setObjectName(QStringLiteral("DirList"));
    m_files->setObjectName(QStringLiteral("FileList"));
    m_fileName->setObjectName(QStringLiteral("txtPotwierdzeniePlik"));
    m_pathLabel->setObjectName(QStringLiteral("lblOffLinePath"));
    m_pathLabel->setReadOnly(true);
    m_modeButton->setObjectName(QStringLiteral("btnWczytaj"));
    m_modeButton->hide();
    m_folders->setStyleSheet(ScrollBars);
    m_files->setStyleSheet(ScrollBars);

    auto* frame = new QFrame;
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::StyledPanel);
    auto* lists = new QGridLayout(frame);
    lists->addWidget(new QLabel(QStringLiteral("Диск:")), 0, 0);
    lists->addWidget(m_drive, 1, 0);
    lists->addWidget(new QLabel(QStringLiteral("Папка:")), 2, 0);
    lists->addWidget(m_folders, 3, 0);
    lists->addWidget(new QLabel(QStringLiteral("Файлы *.xml:")), 0, 1);
    lists->addWidget(m_files, 1, 1, 3, 1);
    lists->addWidget(m_pathLabel, 4, 0, 1, 2);
    lists->addWidget(m_fileName, 5, 0, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_modeButton);
    buttons->addWidget(m_load);
    buttons->addWidget(m_save);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame, 1);
    layout->addLayout(buttons);
    resize(560, 420);

    m_drive->addItems(roots());
    connect(m_drive, &QComboBox::textActivated, this, &ChooserDialog::setDrive);
    connect(m_folders, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const QString name = item->text();
        setFolder(name == ParentFolder ? QDir(m_folder).absolutePath() + QStringLiteral("/..")
                                       : QDir(m_folder).filePath(name));
    });
    connect(m_files, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { m_fileName->setText(item->text()); });
    connect(m_files, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        m_fileName->setText(item->text());
        ok();
    });
    connect(m_load, &QToolButton::clicked, this, &ChooserDialog::ok);
    connect(m_save, &QToolButton::clicked, this, &ChooserDialog::ok);
    connect(m_close, &QToolButton::clicked, this, &ChooserDialog::hide);
    connect(m_close, &QToolButton::clicked, this, &ChooserDialog::reject);

    const QString first = m_drive->count() > 0 ? m_drive->itemText(0) : QDir::rootPath();
    setFolder(first);
    m_fileName->clear();
}

void ChooserDialog::setOwner(QWidget* owner)
{
    SharedDialog::setOwner(*this, owner);
}

void ChooserDialog::setDrive(const QString& root)
{
    setFolder(root);
}

void ChooserDialog::setFolder(const QString& folder)
{
    m_folder = QDir::toNativeSeparators(QDir::cleanPath(folder));
    const qsizetype drive = m_drive->findText(m_folder);
    if (drive >= 0)
        m_drive->setCurrentIndex(int(drive));
    m_folders->clear();
    if (!QDir(m_folder).isRoot())
        m_folders->addItem(ParentFolder);
    m_folders->addItems(QDir(m_folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name));
    // A refilled list keeps the old scroll position; a new folder is shown from its top.
    m_folders->scrollToTop();
    m_pathLabel->setText(Chooser::offLinePathLabel(m_folder));
    m_files->clear();
    refreshFiles();
}

void ChooserDialog::refreshFiles()
{
    const QListWidgetItem* selected = m_files->currentItem();
    const QString chosen = selected && selected->isSelected() ? selected->text() : QString();
    m_files->clear();
    QDir dir(m_folder);
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        if (name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
            m_files->addItem(name);
    }
    m_files->scrollToTop();
    // The file chosen at the last opening stays chosen while it is there.
    if (QListWidgetItem* item = m_files->findItems(chosen, Qt::MatchExactly).value(0)) {
        m_files->setCurrentItem(item);
        m_files->scrollToItem(item);
    }
}

ChooserPort::Mode ChooserDialog::mode() const
{
    return m_modeButton->text() == Chooser::SaveCaption ? Mode::Save : Mode::Load;
}

void ChooserDialog::run(Mode mode, const QString& title, const QString& proposedName)
{
    setWindowTitle(title);
    m_modeButton->setText(mode == Mode::Save ? Chooser::SaveCaption : Chooser::LoadCaption);
    m_load->setVisible(mode == Mode::Load);
    m_save->setVisible(mode == Mode::Save);
    m_fileName->setVisible(mode == Mode::Save);
    if (mode == Mode::Save)
        m_fileName->setText(proposedName);
    refreshFiles();
    // The control is disabled while the dialog is open, and that disables the dialog too,
    // since the control is its parent.
    setEnabled(true);
    exec();
}

void ChooserDialog::ok()
{
    const QListWidgetItem* selected = m_files->currentItem();
    const QString path = Chooser::chosenPath(
        mode(), m_folder, selected && selected->isSelected() ? selected->text() : QString(),
        m_fileName->text());
    if (!path.isEmpty() && m_process)
        m_process->chosenFilePath = path;
    accept();
}
