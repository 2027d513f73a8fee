#include "Dialogs.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <canberra.h>

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
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(QStringLiteral("ZandorUpdate"));
    box.setText(spec.messageText);
    box.setInformativeText(spec.informativeText);
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

CanberraAlertSound::CanberraAlertSound() = default;

CanberraAlertSound::~CanberraAlertSound()
{
    if (context_)
        ca_context_destroy(context_);
}

void CanberraAlertSound::playAlert()
{
    if (!triedOpen_) {
        triedOpen_ = true;
        if (ca_context_create(&context_) == CA_SUCCESS) {
            ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "ZandorUpdate", CA_PROP_APPLICATION_ID,
                                    "zandorupdate", nullptr);
            if (ca_context_open(context_) != CA_SUCCESS) {
                ca_context_destroy(context_);
                context_ = nullptr;
            }
        } else {
            context_ = nullptr;
        }
    }
    if (!context_)
        return; // no sound server: stay quiet
    // Asynchronous: returns before the sound has played.
    ca_context_play(context_, 0, CA_PROP_EVENT_ID, "dialog-warning", CA_PROP_EVENT_DESCRIPTION, "Alert", nullptr);
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
