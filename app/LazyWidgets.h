#pragma once

#include <QLineEdit>
#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <functional>

// The Settings window exists from start-up (its controls hold the
// settings), but shows only when the user asks. Two of Qt's widgets lay
// their text out as soon as they get it, which loads the whole font
// database, the largest cost of starting; these wait until they are shown.

// A one-line text field whose editor is made when the field is first laid
// out or shown.
class TextField : public QWidget {
    Q_OBJECT
public:
    explicit TextField(QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);
    void setEchoMode(QLineEdit::EchoMode mode);

    // The editor itself, made now if it was not yet.
    QLineEdit *editor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    mutable QPointer<QLineEdit> editor_;
    QString text_; // until there is an editor
    QLineEdit::EchoMode echoMode_ = QLineEdit::Normal;
};

// A titled section of a window: a bold heading over its contents. (A
// QGroupBox measures its title whenever its style or layout changes, even
// before it is ever shown.) The heading's room is measured only when the
// window is about to show.
class Section : public QWidget {
    Q_OBJECT
public:
    explicit Section(QWidget *parent = nullptr) : QWidget(parent) {}
    void setTitle(const QString &title);
    QString title() const { return title_; }

    // Makes room for the headings of every section in a window that is
    // about to show, so its layout has its real size.
    static void prepareToShow(QWidget *window);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QFont headingFont() const;
    void reserveHeading();
    QString title_;
    bool measured_ = false;
};

// A window that works as a dialog for the keyboard: each time it shows, the
// focus starts in its first control and Tab walks its controls in reading
// order (a text field's editor, made late, in its field's place); Return
// presses the default button and Escape closes the window, as closing it
// does.
class DialogWindow : public QWidget {
    Q_OBJECT
public:
    // What a screen reader says of a control.
    struct Spoken {
        QWidget *control;
        QString name;
        QString description;
        bool focusable = true; // in the Tab order (a label is given focus then)
    };

    explicit DialogWindow(QWidget *parent = nullptr) : QWidget(parent) {}
    void setDefaultButton(QPushButton *button) { default_ = button; }
    // The controls in reading order, with what each is called. The names are
    // given when the window first shows: naming a widget wakes Qt's
    // accessibility (its plug-ins), which start-up has no need of.
    void setReadingOrder(const QList<Spoken> &controls);
    // Work put off until the window first shows (an image to decode).
    void setOnFirstShow(std::function<void()> work) { firstShow_ = std::move(work); }

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QList<Spoken> order_;
    QPointer<QPushButton> default_;
    std::function<void()> firstShow_;
};
