#pragma once

#include <QString>

#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

namespace tallowby {

// Modal message boxes: one OK button, no icon. Windows receive this
// interface so tests can record what would have been shown instead of
// blocking on a real box.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;

    // Shows `text` and returns when the user has pressed OK. An empty
    // `title` means the program's default title (the product name).
    virtual void Show(const QString& text, const QString& title = QString()) = 0;
};

// The real boxes, QMessageBox with NoIcon, parented to the active window so
// they stay in front of the window that asked for them.
class QtMessageBoxes : public MessageBoxes {
public:
    // `defaultTitle` is asked at every Show, so it follows the product name
    // even when that is filled in after this object was made.
    explicit QtMessageBoxes(std::function<QString()> defaultTitle);
    void Show(const QString& text, const QString& title = QString()) override;

private:
    std::function<QString()> defaultTitle_;
};

// The box QtMessageBoxes shows: `text` as plain text, one OK button, no
// icon, and wide enough that a window manager's title bar has room for all
// of `title` besides its own buttons.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& text,
                                            const QString& title);

// How wide a title bar must be to show `title` whole, buttons included.
int TitleBarWidth(const QString& title);

}  // namespace tallowby
