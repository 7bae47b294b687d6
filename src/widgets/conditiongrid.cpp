// The labelled-row grid of the condition table and its in-place editors.
#include "widgets/conditiongrid.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QToolButton>

// Opens the editor of a value cell by the row's editor code and hands the result back to the
// grid, which owns the callback.
class ConditionGridDelegate : public QStyledItemDelegate {
public:
    explicit ConditionGridDelegate(ConditionGrid* grid) : QStyledItemDelegate(grid), m_grid(grid)
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override
    {
        const auto* e = m_grid->entryAtTableRow(index.row());
        if (!e || index.column() != 1)
            return nullptr;
        switch (e->row.editor) {
        case ConditionGrid::TextEditor: return new QLineEdit(parent);
        case ConditionGrid::FixedChoice:
        case ConditionGrid::OpenChoice: {
            auto* box = new QComboBox(parent);
            box->addItems(e->row.choices.split(QLatin1Char('|')));
            // The second kind also takes a text of its own.
            box->setEditable(e->row.editor == ConditionGrid::OpenChoice);
            return box;
        }
        default: return nullptr;
        }
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const QString text = index.data().toString();
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            const int at = box->findText(text);
            if (at >= 0) {
                box->setCurrentIndex(at);
            } else if (box->isEditable()) {
                box->setEditText(text);
            } else {
                // A value that is none of the entries ("None") stays until the user picks one.
                box->setPlaceholderText(text);
                box->setCurrentIndex(-1);
            }
        } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setText(text);
        }
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        const auto* e = m_grid->entryAtTableRow(index.row());
        if (!e)
            return;
        QString text;
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            if (!box->isEditable() && box->currentIndex() < 0)
                return; // left without a choice
            text = box->currentText();
        } else if (auto* line = qobject_cast<QLineEdit*>(editor))
            text = line->text();
        m_grid->CommitEdit(e->row.id, text);
    }

private:
    ConditionGrid* m_grid;
};

ConditionGrid::ConditionGrid(QWidget* parent) : QTableWidget(0, 3, parent)
{
    setItemDelegate(new ConditionGridDelegate(this));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    horizontalHeader()->setSectionResizeMode(2, QHeaderView::Fixed);
    horizontalHeader()->resizeSection(2, 24);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed);
    // Tab moves between the controls of the window; the arrow keys move between rows.
    setTabKeyNavigation(false);
    setShowGrid(true);
}

void ConditionGrid::Clear()
{
    setRowCount(0);
    m_rows.clear();
    m_lastGroup.clear();
}

void ConditionGrid::AddRow(const Row& row)
{
    if (row.group != m_lastGroup || rowCount() == 0) {
        const int g = rowCount();
        insertRow(g);
        auto* caption = new QTableWidgetItem(row.group);
        caption->setFlags(Qt::ItemIsEnabled);
        QFont bold = font();
        bold.setBold(true);
        caption->setFont(bold);
        caption->setBackground(palette().alternateBase());
        setItem(g, 0, caption);
        setSpan(g, 0, 1, 3);
        m_lastGroup = row.group;
    }
    const int r = rowCount();
    insertRow(r);
    auto* label = new QTableWidgetItem(QStringLiteral("  ") + row.label);
    label->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    setItem(r, 0, label);
    auto* value = new QTableWidgetItem(row.value);
    const bool editable =
        row.editor == TextEditor || row.editor == FixedChoice || row.editor == OpenChoice;
    value->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable |
                    (editable ? Qt::ItemIsEditable : Qt::NoItemFlags));
    setItem(r, 1, value);
    if (row.editor == ButtonEditor) {
        auto* button = new QToolButton(this);
        button->setText(QStringLiteral("…"));
        const int id = row.id;
        connect(button, &QToolButton::clicked, this, [this, id] { PressButton(id); });
        setCellWidget(r, 2, button);
    }
    m_rows[row.id] = Entry{r, row};
}

bool ConditionGrid::SetValue(int id, const QString& value)
{
    auto it = m_rows.find(id);
    if (it == m_rows.end())
        return false;
    it->second.row.value = value;
    item(it->second.tableRow, 1)->setText(value);
    return true;
}

QString ConditionGrid::Value(int id) const
{
    auto it = m_rows.find(id);
    return it == m_rows.end() ? QString() : it->second.row.value;
}

int ConditionGrid::EditorOf(int id) const
{
    auto it = m_rows.find(id);
    return it == m_rows.end() ? -1 : it->second.row.editor;
}

QStringList ConditionGrid::Choices(int id) const
{
    auto it = m_rows.find(id);
    return it == m_rows.end() || it->second.row.choices.isEmpty()
               ? QStringList()
               : it->second.row.choices.split(QLatin1Char('|'));
}

void ConditionGrid::CommitEdit(int id, const QString& text)
{
    const int code = EditorOf(id);
    if (code != TextEditor && code != FixedChoice && code != OpenChoice)
        return;
    SetValue(id, text);
    if (m_edited)
        m_edited(id, text);
}

bool ConditionGrid::CommitOpenEdit()
{
    if (state() != QAbstractItemView::EditingState)
        return false;
    // Editors open only in the value column; the buttons there are in the last one.
    for (int r = 0; r < rowCount(); ++r) {
        if (QWidget* editor = indexWidget(model()->index(r, 1))) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
            return true;
        }
    }
    return false;
}

void ConditionGrid::PressButton(int id)
{
    if (EditorOf(id) == ButtonEditor && m_button)
        m_button(id);
}

const ConditionGrid::Entry* ConditionGrid::entryAtTableRow(int tableRow) const
{
    for (const auto& [id, e] : m_rows)
        if (e.tableRow == tableRow)
            return &e;
    return nullptr;
}
