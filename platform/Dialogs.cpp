#include "Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <canberra.h>
#include <dlfcn.h>

namespace platform {

namespace {

// QMessageBox has no accessory view; put the edit into its grid, just above
// the buttons.
void addAccessory(QMessageBox &box, QLineEdit *edit)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    auto *buttons = box.findChild<QDialogButtonBox *>();
    if (!grid || !buttons) {
        box.layout()->addWidget(edit);
        return;
    }
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(grid->indexOf(buttons), &row, &column, &rowSpan, &columnSpan);
    grid->removeWidget(buttons);
    grid->addWidget(edit, row, 2, 1, 1, Qt::AlignLeft);
    grid->addWidget(buttons, row + 1, column, rowSpan, columnSpan);
}

} // namespace

AlertOutcome QtAlerts::runModal(const AlertSpec &spec)
{
    QMessageBox box;
    // The app's own icon, as alerts show on the desktops that have one;
    // Qt's warning triangle only where the app has none.
    if (const QIcon icon = QApplication::windowIcon(); !icon.isNull())
        box.setIconPixmap(icon.pixmap(64, 64));
    else
        box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(QStringLiteral("ZandorUpdate"));
    // Exactly the caller's texts: a name like "<i>x<u>y.mpeg" is no markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(spec.messageText);
    box.setInformativeText(spec.informativeText);
    if (auto *informative = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);

    std::vector<QAbstractButton *> buttons;
    for (qsizetype i = 0; i < spec.buttons.size(); ++i) {
        // Plain titles, not the translated standard buttons.
        auto *button = box.addButton(spec.buttons[i], i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
        buttons.push_back(button);
    }
    if (!buttons.empty())
        box.setDefaultButton(qobject_cast<QPushButton *>(buttons.front()));

    QLineEdit *edit = nullptr;
    if (spec.accessoryText) {
        edit = new QLineEdit(*spec.accessoryText, &box);
        edit->setObjectName(QStringLiteral("accessoryText"));
        edit->setFixedSize(200, 24);
        addAccessory(box, edit);
    }

    box.exec();

    AlertOutcome outcome;
    const auto clicked = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    if (clicked != buttons.end())
        outcome.response = kAlertFirstButton + int(clicked - buttons.begin());
    if (edit)
        outcome.accessoryText = edit->text();
    return outcome;
}

namespace {

void ignoreAlsaError(const char *, int, const char *, int, const char *, ...) {}

// Without a sound card ALSA explains, on standard error, why it cannot play:
// eight lines per alert that nobody asked for. The sound just does not play.
void silenceAlsa()
{
    using Handler = void (*)(const char *, int, const char *, int, const char *, ...);
    if (void *alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL)) {
        if (auto set = reinterpret_cast<int (*)(Handler)>(dlsym(alsa, "snd_lib_error_set_handler")))
            set(ignoreAlsaError);
    }
}

} // namespace

// libcanberra and its sound back-ends are loaded with the first alert sound,
// not at start-up: most days no alert ever plays.
struct CanberraAlertSound::Library {
    decltype(&ca_context_create) create = nullptr;
    decltype(&ca_context_change_props) changeProps = nullptr;
    decltype(&ca_context_open) open = nullptr;
    decltype(&ca_context_play) play = nullptr;
    decltype(&ca_context_destroy) destroy = nullptr;

    static const Library *load()
    {
        static const Library library = [] {
            Library l;
            if (void *handle = dlopen("libcanberra.so.0", RTLD_NOW | RTLD_LOCAL)) {
                l.create = reinterpret_cast<decltype(create)>(dlsym(handle, "ca_context_create"));
                l.changeProps = reinterpret_cast<decltype(changeProps)>(dlsym(handle, "ca_context_change_props"));
                l.open = reinterpret_cast<decltype(open)>(dlsym(handle, "ca_context_open"));
                l.play = reinterpret_cast<decltype(play)>(dlsym(handle, "ca_context_play"));
                l.destroy = reinterpret_cast<decltype(destroy)>(dlsym(handle, "ca_context_destroy"));
            }
            return l;
        }();
        const bool whole = library.create && library.changeProps && library.open && library.play && library.destroy;
        return whole ? &library : nullptr;
    }
};

CanberraAlertSound::CanberraAlertSound() = default;

CanberraAlertSound::~CanberraAlertSound()
{
    if (context_)
        library_->destroy(context_);
}

void CanberraAlertSound::playAlert()
{
    play("dialog-warning", "Alert");
}

void CanberraAlertSound::playNotificationSound()
{
    play("message-new-instant", "Notification");
}

void CanberraAlertSound::play(const char *eventId, const char *description)
{
    if (!triedOpen_) {
        triedOpen_ = true;
        library_ = Library::load();
        silenceAlsa();
        if (library_ && library_->create(&context_) == CA_SUCCESS) {
            library_->changeProps(context_, CA_PROP_APPLICATION_NAME, "ZandorUpdate", CA_PROP_APPLICATION_ID,
                                  "zandorupdate", nullptr);
            if (library_->open(context_) != CA_SUCCESS) {
                library_->destroy(context_);
                context_ = nullptr;
            }
        } else {
            context_ = nullptr;
        }
    }
    if (!context_)
        return; // no sound library or server: stay quiet
    // Asynchronous: returns before the sound has played.
    library_->play(context_, 0, CA_PROP_EVENT_ID, eventId, CA_PROP_EVENT_DESCRIPTION, description, nullptr);
}

ChooserOutcome QtFileChooser::runModal(const ChooserOptions &options)
{
    QFileDialog dialog;
    dialog.setWindowTitle(options.title);
    // Qt's own dialog, so the options below hold on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (options.canChooseDirectories && !options.canChooseFiles) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
    } else {
        dialog.setFileMode(options.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    // Read-only also takes away the "new folder" button.
    dialog.setOption(QFileDialog::ReadOnly, !options.canCreateDirectories);
    if (!options.directory.isEmpty())
        dialog.setDirectory(options.directory);
    dialog.setWindowModality(Qt::ApplicationModal);

    ChooserOutcome outcome;
    if (dialog.exec() == QDialog::Accepted) {
        outcome.result = kChooserOK;
        for (const QUrl &url : dialog.selectedUrls())
            outcome.urls.push_back(url);
    }
    return outcome;
}

bool DesktopUrlOpener::open(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace platform
