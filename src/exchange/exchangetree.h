// The part of a customer tree that an export file or an import takes: a node of the tree, the
// check-box list of its children, and the temporary tree built from the checked rows.
#pragma once

#include <string>
#include <vector>

#include "model/customerdb.h"

// A node of the customer tree as the exchange dialogs address it: its level and the positions
// that lead to it (-1 where not applicable).
struct ExchangeNode {
    enum Level { None = 0, Root = 1, Customer = 2, Cable = 3, MeasData = 4 };
    int level = None;
    int customer = -1;
    int cable = -1;
    int set = -1;

    static ExchangeNode root() { return {Root, -1, -1, -1}; }
    static ExchangeNode ofCustomer(int c) { return {Customer, c, -1, -1}; }
    static ExchangeNode ofCable(int c, int k) { return {Cable, c, k, -1}; }
    static ExchangeNode ofSet(int c, int k, int s) { return {MeasData, c, k, s}; }

    bool operator==(const ExchangeNode&) const = default;
};

// The configured level titles of system.ini (CP932; empty: each place's own default).
struct LevelTitles {
    std::string customer;
    std::string cable;
    std::string measurement;
};

// The title of a level where it is named: the configured title, else the default given.
std::string LevelTitle(const std::string& configured, const std::string& defaultText);

// True when the positions of the node exist in db.
bool NodeExists(const CCustomerDB& db, const ExchangeNode& node);

// The column layout text of the children list of a node ("" for no node): a name column
// titled "需要家名称", "ケーブル名称" or "測定データ名称" (or the configured title), and for a
// measurement data set the columns of its measurements.
std::string ChildListLayout(const ExchangeNode& node, const LevelTitles& titles);

// The rows of that list, one per child in its stored order, one text per column after the
// check-box column (CP932). Nothing for a node that does not exist.
std::vector<std::vector<std::string>> ChildListRows(const CCustomerDB& db,
                                                    const ExchangeNode& node);

// A new tree (default serial-link settings) holding the checked children of a node: checked
// customers whole; or the node's customer emptied of cables with the checked cables whole; and
// so on down to the checked measurements of a set, added with InsertRecord. Rows are child
// positions (record indices for a set) in list order; rows out of range are skipped. No
// checked row gives an empty tree.
CCustomerDB BuildExchangeTree(const CCustomerDB& source, const ExchangeNode& node,
                              const std::vector<int>& checkedRows);

// "MX_%s.dat" with the local time as "%Y%m%d_%H%M%S".
std::string ExportDefaultFileName(const OleDateTime& now);
