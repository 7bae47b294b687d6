// FinalValueList: the point list of the final value selection, one line per sampled point with
// a mark on the final point. A table model over the dialog's points and a multi-column list
// view with its own line painter: records hold tens of thousands of points, so nothing is
// created per point.
// FinalValueList was CListLastVal in the Windows program's sources.
// FinalValueListModel was CLastValModel in the Windows program's sources.
// FinalValueListDelegate was CLastValDelegate in the Windows program's sources.
#pragma once

#include <QAbstractTableModel>
#include <QListView>
#include <QStyledItemDelegate>

#include <vector>

#include "model/measrecord.h"

// The points of one record as rows of one column; the display text is the point's line.
// The points stay owned by the caller, who tells the model when they change.
class FinalValueListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Shows `points` (kept by reference, may be nullptr) with the record's range flag and
    // the mark on markedIndex (-1: no mark).
    void SetData(int rangeFlag, int markedIndex, const std::vector<CMeasPoint>* points);
    int RangeFlag() const { return m_rangeFlag; }
    int MarkedIndex() const { return m_markedIndex; }
    // Moves the mark; only the two affected lines are redrawn.
    void SetMarkedIndex(int index);
    // The points changed in place: rows first..last (all rows when last < 0) are redrawn.
    void PointsChanged(int first = 0, int last = -1);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    const std::vector<CMeasPoint>* m_points = nullptr;
    int m_rangeFlag = 0;
    int m_markedIndex = -1;
};

// Paints one line as the list draws its items: the colours of the selection or of the window,
// the text 3 pixels from the left and centred vertically, the focus frame on the current line.
class FinalValueListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // Every line has this width; the lines flow in columns of this width.
    static constexpr int kColumnWidth = 170;

    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class FinalValueList : public QListView {
    Q_OBJECT
public:
    explicit FinalValueList(QWidget* parent = nullptr);

    // The record's range flag, the index of its final point and the points to show (kept by
    // reference: they belong to the dialog).
    void SetData(int rangeFlag, int markedIndex, const std::vector<CMeasPoint>* points);
    int MarkedIndex() const { return m_model->MarkedIndex(); }
    void SetMarkedIndex(int index) { m_model->SetMarkedIndex(index); }
    void PointsChanged(int first = 0, int last = -1) { m_model->PointsChanged(first, last); }

    // The selected line, -1 when none.
    int SelectedIndex() const;
    // Selects line i (makes it current and visible); -1 or a line outside clears the selection.
    void SelectIndex(int i);

    FinalValueListModel* Model() const { return m_model; }

private:
    FinalValueListModel* m_model;
};
