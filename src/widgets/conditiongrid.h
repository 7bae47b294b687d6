// ConditionGrid: the labelled-row grid with a per-row editor (free text, choice list, a
// button, or none), grouped under group captions. Edits and button presses reach the owner
// through two callbacks carrying the row id.
// ConditionGrid was CConditionGrid in the Windows program's sources.
#pragma once

#include <QTableWidget>

#include <functional>
#include <map>

class ConditionGrid : public QTableWidget {
    Q_OBJECT
public:
    // Editor codes.
    enum Editor {
        TextEditor = 0,
        FixedChoice = 1,
        OpenChoice = 2,
        ButtonEditor = 13,
        NoEditor = 18
    };

    struct Row {
        QString group;
        int id = 0;
        QString label;
        QString value;
        int editor = TextEditor;
        QString choices; // entries separated by '|'
    };

    explicit ConditionGrid(QWidget* parent = nullptr);

    void Clear();
    bool IsEmpty() const { return m_rows.empty(); }
    // Appends a row (and its group caption when the group changes).
    void AddRow(const Row& row);
    // Replaces the value text of a row; false for an unknown id.
    bool SetValue(int id, const QString& value);
    QString Value(int id) const;
    int EditorOf(int id) const;
    QStringList Choices(int id) const;

    void SetEditedCallback(std::function<void(int id, const QString& text)> fn)
    {
        m_edited = std::move(fn);
    }
    void SetButtonCallback(std::function<void(int id)> fn) { m_button = std::move(fn); }

    // Ends an edit of the row with the text, as the in-place editor does: stores the text and
    // tells the owner. Ignored for rows that are not editable.
    void CommitEdit(int id, const QString& text);
    // Commits an open in-place editor now (as leaving it would), so that a dialog's OK never
    // reads the data before the user's last edit. Returns whether an editor was open.
    bool CommitOpenEdit();
    // Presses the row's button (rows with the button editor only).
    void PressButton(int id);

private:
    struct Entry {
        int tableRow;
        Row row;
    };
    const Entry* entryAtTableRow(int tableRow) const;

    std::map<int, Entry> m_rows;
    QString m_lastGroup;
    std::function<void(int, const QString&)> m_edited;
    std::function<void(int)> m_button;

    friend class ConditionGridDelegate;
};
