// The shared pieces of the export and import dialogs.
#include "ui/dialogs/exchangeui.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "settings/appsettings.h"
#include "model/cp932text.h"
#include "store/store.h"
#include "ui/common/messages.h"
#include "ui/common/uitext.h"
#include "widgets/checklistview.h"

namespace exchangeui {

namespace {

constexpr int kLevelRole = Qt::UserRole;
constexpr int kCustomerRole = Qt::UserRole + 1;
constexpr int kCableRole = Qt::UserRole + 2;
constexpr int kSetRole = Qt::UserRole + 3;

QTreeWidgetItem* nodeItem(QTreeWidgetItem* parent, const QString& text, const ExchangeNode& n)
{
    auto* item = new QTreeWidgetItem(parent, QStringList{text});
    item->setData(0, kLevelRole, n.level);
    item->setData(0, kCustomerRole, n.customer);
    item->setData(0, kCableRole, n.cable);
    item->setData(0, kSetRole, n.set);
    return item;
}

QFont listFont()
{
    QFont f(ui::pGothicFace());
    f.setPointSize(10);
    return f;
}

} // namespace

LevelTitles TitlesOf(const CAppSettings& settings)
{
    return {settings.TitleCustomer, settings.TitleCable, settings.TitleMeasurement};
}

QString TreeRootText(const LevelTitles& titles)
{
    return ui::toQ(LevelTitle(titles.measurement, cp932::lit("測定データ")));
}

QTreeWidget* NewTreeWidget(QWidget* parent, const QString& objectName)
{
    auto* tree = new QTreeWidget(parent);
    tree->setObjectName(objectName);
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setRootIsDecorated(true);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setUniformRowHeights(true);
    return tree;
}

void FillTree(QTreeWidget* tree, const QString& rootText, const CCustomerDB& db)
{
    tree->clear();
    auto* root = new QTreeWidgetItem(tree, QStringList{rootText});
    root->setData(0, kLevelRole, ExchangeNode::Root);
    root->setData(0, kCustomerRole, -1);
    root->setData(0, kCableRole, -1);
    root->setData(0, kSetRole, -1);
    QFont bold = root->font(0);
    bold.setBold(true);
    root->setFont(0, bold);
    for (int c = 0; c < db.customers.Count(); ++c) {
        const CCustomer& customer = db.customers.At(c);
        QTreeWidgetItem* ci = nodeItem(root, ui::toQ(customer.name), ExchangeNode::ofCustomer(c));
        for (int k = 0; k < customer.cables.Count(); ++k) {
            const CCable& cable = customer.cables.At(k);
            QTreeWidgetItem* ki = nodeItem(ci, ui::toQ(cable.name), ExchangeNode::ofCable(c, k));
            for (int s = 0; s < cable.sets.Count(); ++s)
                nodeItem(ki, ui::toQ(cable.sets.At(s).name), ExchangeNode::ofSet(c, k, s));
        }
    }
    root->setExpanded(true);
}

ExchangeNode NodeOf(const QTreeWidgetItem* item)
{
    if (!item)
        return {};
    return {item->data(0, kLevelRole).toInt(), item->data(0, kCustomerRole).toInt(),
            item->data(0, kCableRole).toInt(), item->data(0, kSetRole).toInt()};
}

ExchangeNode CurrentNode(const QTreeWidget* tree)
{
    return NodeOf(tree->currentItem());
}

void SelectNode(QTreeWidget* tree, const ExchangeNode& node)
{
    QTreeWidgetItem* item = tree->topLevelItem(0);
    if (!item)
        return;
    const int path[] = {node.customer, node.cable, node.set};
    for (int depth = 0; depth + ExchangeNode::Root < node.level; ++depth) {
        QTreeWidgetItem* child = item->child(path[depth]);
        if (!child)
            break;
        item = child;
    }
    tree->setCurrentItem(item);
    tree->scrollToItem(item);
}

CheckListView* NewCheckList(QWidget* parent)
{
    auto* list = new CheckListView(parent);
    list->setObjectName(QStringLiteral("list1024"));
    list->setFont(listFont());
    list->header()->setFont(listFont());
    return list;
}

void FillList(CheckListView* list, const CCustomerDB& db, const ExchangeNode& node,
              const LevelTitles& titles)
{
    list->SetColumnLayout(ui::toQ(ChildListLayout(node, titles)));
    for (const auto& row : ChildListRows(db, node)) {
        QStringList texts;
        for (const std::string& t : row)
            texts << ui::toQ(t);
        list->AddRow(texts);
    }
    list->FitColumnsToContents();
}

QString MessageText(const std::string& cp932)
{
    QString text = ui::toQ(cp932);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

WaitWindow::WaitWindow(QWidget* parent, const QString& text) : QDialog(parent)
{
    setObjectName(QStringLiteral("waitWindow"));
    setWindowTitle(ui::appTitle());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(false);
    auto* label = new QLabel(text, this);
    label->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 20, 32, 20);
    layout->addWidget(label);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    show();
    // Paint the window before the file operation blocks the event loop.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

WaitWindow::~WaitWindow()
{
    QApplication::restoreOverrideCursor();
}

} // namespace exchangeui
