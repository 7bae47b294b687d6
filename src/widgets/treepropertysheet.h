// TreePropertySheet: a modal property sheet whose pages are chosen in a navigation tree on
// its left. OK asks a page hook first, so a page can refuse to close the sheet.
// TreePropertySheet was CTreePropertySheet in the Windows program's sources.
#pragma once

#include <QDialog>

#include <functional>

class QDialogButtonBox;
class QLabel;
class QScrollArea;
class QStackedWidget;
class QTreeWidget;

class TreePropertySheet : public QDialog {
    Q_OBJECT
public:
    explicit TreePropertySheet(const QString& title, QWidget* parent = nullptr);
    ~TreePropertySheet() override;

    // The prompt above the tree, shown only while no page is there (「ページを選んでください」
    // unless set): with a page shown it would only take room.
    void SetTreeCaption(const QString& caption);
    QString TreeCaption() const;
    // Adds a page (the sheet takes ownership) under its title; the first page is shown.
    void AddPage(QWidget* page, const QString& title, const QIcon& icon = {});
    QWidget* CurrentPage() const;
    // Called by OK; returning false keeps the sheet open.
    void SetApplyHook(std::function<bool()> hook) { m_apply = std::move(hook); }

    // Called by every other way of closing (Cancel, Esc, the window's close button);
    // returning false keeps the sheet open.
    void SetCloseHook(std::function<bool()> hook) { m_close = std::move(hook); }

    // OK: the apply hook, then Accepted. Returns whether the sheet closed.
    bool PressOk();
    void accept() override;
    void reject() override;

    QTreeWidget* Tree() const { return m_tree; }
    // The area the pages scroll in when the sheet is smaller than a page's minimum size.
    QScrollArea* PageArea() const { return m_scroll; }

    // Sizes the sheet for the available area of a screen: the preferred size, but no larger
    // than the area (less an allowance for the window frame), with a minimum size that fits
    // too, and the sheet placed inside it. What does not fit the pages scrolls; the OK and
    // Cancel buttons stay outside the scrolling part.
    void FitInto(const QRect& available, QSize preferred, QSize minimum);
    // FitInto the available area of the parent's screen (or the primary screen).
    void FitToScreen(QSize preferred, QSize minimum);

private:
    QLabel* m_caption = nullptr;
    QTreeWidget* m_tree = nullptr;
    QStackedWidget* m_pages = nullptr;
    QScrollArea* m_scroll = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    std::function<bool()> m_apply;
    std::function<bool()> m_close;
};
