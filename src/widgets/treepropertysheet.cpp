// The modal property sheet with a navigation tree.
#include "widgets/treepropertysheet.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "widgets/windowfit.h"

TreePropertySheet::TreePropertySheet(const QString& title, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(title);
    setSizeGripEnabled(true);
    m_caption = new QLabel(QStringLiteral("ページを選んでください"), this);
    m_tree = new QTreeWidget(this);
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(false);
    m_tree->setMaximumWidth(140);
    m_pages = new QStackedWidget;
    // The pages scroll rather than push the sheet past the screen or get cut off.
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(m_pages);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(m_buttons, &QDialogButtonBox::accepted, this, &TreePropertySheet::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &TreePropertySheet::reject);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item)
            m_pages->setCurrentIndex(m_tree->indexOfTopLevelItem(item));
    });

    auto* left = new QVBoxLayout;
    left->addWidget(m_caption);
    left->addWidget(m_tree);
    auto* body = new QHBoxLayout;
    body->addLayout(left);
    body->addWidget(m_scroll, 1);
    auto* all = new QVBoxLayout(this);
    all->addLayout(body, 1);
    all->addWidget(m_buttons);
}

TreePropertySheet::~TreePropertySheet() = default;

void TreePropertySheet::SetTreeCaption(const QString& caption)
{
    m_caption->setText(caption);
    m_caption->setVisible(m_pages->count() == 0 && !caption.isEmpty());
}

QString TreePropertySheet::TreeCaption() const
{
    return m_caption->text();
}

void TreePropertySheet::AddPage(QWidget* page, const QString& title, const QIcon& icon)
{
    m_pages->addWidget(page);
    auto* item = new QTreeWidgetItem(m_tree, QStringList{title});
    item->setIcon(0, icon);
    if (m_pages->count() == 1) {
        m_tree->setCurrentItem(item);
        m_caption->hide();
    }
}

QWidget* TreePropertySheet::CurrentPage() const
{
    return m_pages->currentWidget();
}

bool TreePropertySheet::PressOk()
{
    if (m_apply && !m_apply())
        return false;
    QDialog::accept();
    return true;
}

void TreePropertySheet::accept()
{
    PressOk();
}

void TreePropertySheet::reject()
{
    // QDialog's close event and Esc both come here.
    if (m_close && !m_close())
        return;
    QDialog::reject();
}

void TreePropertySheet::FitInto(const QRect& available, QSize preferred, QSize minimum)
{
    windowfit::FitInto(*this, available, preferred, minimum);
}

void TreePropertySheet::FitToScreen(QSize preferred, QSize minimum)
{
    windowfit::FitToScreen(*this, preferred, minimum);
}
