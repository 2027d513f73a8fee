#include "LazyWidgets.h"

#include <QAccessibleWidget>
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <limits>
#include <utility>

TextField::TextField(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QLineEdit *TextField::editor() const
{
    if (!editor_) {
        auto *self = const_cast<TextField *>(this);
        editor_ = new QLineEdit(text_, self);
        editor_->setObjectName(objectName() + QStringLiteral("Editor"));
        editor_->setMaxLength(std::numeric_limits<int>::max()); // texts are kept whole, never cut at 32767
        editor_->setEchoMode(echoMode_);
        self->layout()->addWidget(editor_);
        self->setFocusProxy(editor_);
    }
    return editor_;
}

QString TextField::text() const
{
    return editor_ ? editor_->text() : text_;
}

void TextField::setText(const QString &text)
{
    if (editor_)
        editor_->setText(text);
    else
        text_ = text;
}

void TextField::setEchoMode(QLineEdit::EchoMode mode)
{
    echoMode_ = mode;
    if (editor_)
        editor_->setEchoMode(mode);
}

QSize TextField::sizeHint() const
{
    return editor()->sizeHint();
}

QSize TextField::minimumSizeHint() const
{
    return editor()->minimumSizeHint();
}

void TextField::showEvent(QShowEvent *event)
{
    editor();
    QWidget::showEvent(event);
}

void Section::setTitle(const QString &title)
{
    title_ = title;
    update();
}

void Section::prepareToShow(QWidget *window)
{
    for (Section *section : window->findChildren<Section *>())
        section->reserveHeading();
}

namespace {

// To assistive technology a section is a group named by its heading, and
// a window of ours a dialog. Given before the first of them is spoken of.
QAccessibleInterface *roleOf(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("Section"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Grouping);
    if (className == QLatin1String("DialogWindow"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Dialog);
    return nullptr;
}

void giveRoles()
{
    static const bool given = (QAccessible::installFactory(roleOf), true);
    (void)given;
}

} // namespace

void Section::reserveHeading()
{
    if (!measured_) {
        giveRoles();
        setAccessibleName(title_); // the painted heading, for assistive technology
    }
    measured_ = true;
    setContentsMargins(0, QFontMetrics(headingFont()).height() + 6, 0, 0);
}

QFont Section::headingFont() const
{
    QFont bold = font();
    bold.setBold(true);
    return bold;
}

bool Section::event(QEvent *event)
{
    if ((event->type() == QEvent::Show && !measured_) || (event->type() == QEvent::FontChange && measured_))
        reserveHeading();
    return QWidget::event(event);
}

void Section::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(headingFont());
    painter.drawText(QRect(0, 0, width(), contentsMargins().top()), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     title_);
}

void DialogWindow::setReadingOrder(const QList<Spoken> &controls)
{
    order_ = controls;
}

void DialogWindow::showEvent(QShowEvent *event)
{
    giveRoles();
    QWidget::showEvent(event);
    if (firstShow_)
        std::exchange(firstShow_, {})();
    QWidget *previous = nullptr, *first = nullptr;
    for (const Spoken &control : std::as_const(order_)) {
        // A field's editor is made late: it is the one focused and spoken.
        auto *field = qobject_cast<TextField *>(control.control);
        QWidget *target = field ? field->editor() : control.control;
        if (!control.name.isEmpty() && target->accessibleName() != control.name)
            target->setAccessibleName(control.name);
        if (!control.description.isEmpty() && target->accessibleDescription() != control.description)
            target->setAccessibleDescription(control.description);
        if (!control.focusable)
            continue; // spoken, not focused
        if (target->focusPolicy() == Qt::NoFocus)
            target->setFocusPolicy(Qt::StrongFocus);
        if (previous)
            QWidget::setTabOrder(previous, target);
        previous = target;
        if (!first)
            first = target;
    }
    if (first)
        first->setFocus(Qt::TabFocusReason); // marked as a Tab would mark it
}

void DialogWindow::keyPressEvent(QKeyEvent *event)
{
    const bool plain = !(event->modifiers() & ~Qt::KeypadModifier);
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && default_ &&
        default_->isEnabled() && default_->isVisible()) {
        default_->click();
        return;
    }
    if (plain && event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
