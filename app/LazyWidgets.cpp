#include "LazyWidgets.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
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

void Section::reserveHeading()
{
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
