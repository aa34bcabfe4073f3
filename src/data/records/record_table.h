#pragma once

// The record table "VaskorTemp" as the windows see it: the rows the list shows (RecordView)
// and an edit buffer for insert and edit. Edit, save and delete wait for their answer, the
// window still painting. Every read, save and delete of the current record goes by "ID".

#include "data/records/record_save.h"
#include "data/records/record_view.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVector>

namespace zartav {

class RecordTable : public RecordView {
    Q_OBJECT
public:
    using RecordView::RecordView;

    // "ID" of the current record; 0 when there is none or it is a new, unsaved record.
    qint64 id();
    // A column of the current record (or of the edit buffer while inserting or editing) as text;
    // empty for an unknown column, a photo column or no current record.
    QString value(const QString& column);
    // A photo column of the current record (or the edit buffer) as stored bytes.
    QByteArray photo(const QString& column);
    // Writes into the edit buffer; false outside insert/edit, for "ID" or an unknown column.
    bool setValue(const QString& column, const QString& text);
    bool setPhoto(const QString& column, const QByteArray& bytes);

    RecordState state() const { return edit_.state; }
    // Starts a new empty record; it becomes current once posted.
    bool insert();
    // Starts editing the current record, read afresh from the store; false when there is none
    // or it has been deleted elsewhere.
    bool edit();
    // Saves the inserted or edited record in one transaction. On failure nothing is written,
    // the table stays in insert/edit mode (the caller cancels or lets the user try again),
    // saveFailure() says what kind of failure and errorText() the store's own words.
    bool post(SaveMode mode = SaveMode::CheckVersion);
    SaveFailure saveFailure() const { return saveFailure_; }
    // While editing: why the record is corrected, kept with the history entry the save leaves.
    void setChangeReason(const QString& reason) { edit_.reason = reason; }
    QString changeReason() const { return edit_.reason; }
    // While editing: the change becomes a correction request rather than a save (EditBuffer).
    bool editsByRequest() const { return edit_.state == RecordState::Edit && edit_.byRequest; }
    // While inserting: the "ID" a save whose answer was lost may have given the record, or 0.
    qint64 unconfirmedId() const { return edit_.state == RecordState::Insert ? edit_.unconfirmedId : 0; }
    // While editing: the register holds a current issue of the record, so a change needs its reason.
    bool editsIssued() const { return edit_.state == RecordState::Edit && edit_.issued; }
    // While editing: some column now differs from what the edit found.
    bool editChanged() const;
    // While editing: the text columns typed over, before and after; whether a photo was replaced.
    QVector<QVariant> editedOriginal() const { return edit_.original; }
    QVector<QVariant> editedValues() const { return edit_.values; }
    bool photoReplaced() const;
    // While editing: reads the record again as it is stored now, dropping what was typed;
    // false when it has been deleted meanwhile.
    bool reloadEdited();
    void cancel();
    // Deletes the current record; the next one (or the previous, at the end) becomes current.
    bool remove();

signals:
    void stateChanged(zartav::RecordState state);
    // A record was saved: every column as the edit found it (empty for a new record) and as
    // saved.
    void recordSaved(const QVector<QVariant>& before, const QVector<QVariant>& after);
    // The current record was deleted.
    void recordRemoved();

protected:
    bool editing() const override { return edit_.state != RecordState::Browse; }

private:
    bool readForEdit(qint64 id);
    void endEdit();

    EditBuffer edit_;
};

}  // namespace zartav
