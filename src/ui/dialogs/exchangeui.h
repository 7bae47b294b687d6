// Pieces the export and import dialogs share: the customer tree widget with each item's node,
// the children list, the wait window, and the store's messages.
// WaitWindow was CWaitWindow in the Windows program's sources.
#pragma once

#include <QDialog>
#include <QString>

#include "exchange/exchangetree.h"
#include "model/customerdb.h"

class CAppSettings;
class CheckListView;
class QTreeWidget;
class QTreeWidgetItem;
struct StoreOutcome;

namespace exchangeui {

// The configured level titles of the settings.
LevelTitles TitlesOf(const CAppSettings& settings);
// The root item's text: the level-3 title, default "測定データ".
QString TreeRootText(const LevelTitles& titles);

// A tree widget as both dialogs show it: lines, buttons, selection always visible.
QTreeWidget* NewTreeWidget(QWidget* parent, const QString& objectName);
// Refills the tree: a bold, expanded root item with rootText, then every customer, its cables
// and their measurement data sets in sorted order; every item carries its node.
void FillTree(QTreeWidget* tree, const QString& rootText, const CCustomerDB& db);
// The node of an item, and of the current item (level None when there is none).
ExchangeNode NodeOf(const QTreeWidgetItem* item);
ExchangeNode CurrentNode(const QTreeWidget* tree);
// Makes the item of a node current (the root when the node is not in the tree).
void SelectNode(QTreeWidget* tree, const ExchangeNode& node);

// A check-box list in the lists' font ("ＭＳ Ｐゴシック" 10 point).
CheckListView* NewCheckList(QWidget* parent);
// Rebuilds the list for a node: its column layout and one unchecked row per child.
void FillList(CheckListView* list, const CCustomerDB& db, const ExchangeNode& node,
              const LevelTitles& titles);

// A program text with Windows line ends as a message box shows it.
QString MessageText(const std::string& cp932);

// The modeless "保存しています..." / "読み込んでいます..." window, shown with the wait cursor for
// its lifetime.
class WaitWindow : public QDialog {
    Q_OBJECT
public:
    WaitWindow(QWidget* parent, const QString& text);
    ~WaitWindow() override;
};

} // namespace exchangeui
