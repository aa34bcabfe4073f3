#include "data/records/record_table.h"

#include "data/engine/statement_batch.h"
#include "data/history/history_text.h"
#include "data/link/store_worker.h"

namespace zartav {
namespace {

using schema::isPhotoColumn;
using schema::kRecordColumns;
using schema::textOf;

}  // namespace

qint64 RecordTable::id() {
    if (edit_.state == RecordState::Insert) return 0;
    if (edit_.state == RecordState::Edit) return edit_.id;
    return currentId();
}

QString RecordTable::value(const QString& column) {
    const int index = columnIndex(column);
    if (index < 0 || isPhotoColumn(index)) return {};
    if (edit_.state != RecordState::Browse) {
        if (index == schema::kIdColumnIndex) return edit_.state == RecordState::Insert ? QString() : QString::number(edit_.id);
        return textOf(edit_.values.value(index));
    }
    const qint64 record = id();
    if (record <= 0) return {};
    if (index == schema::kIdColumnIndex) return QString::number(record);
    return currentValues().values.value(index);
}

QByteArray RecordTable::photo(const QString& column) {
    const int index = columnIndex(column);
    if (!isPhotoColumn(index)) return {};
    if (edit_.state != RecordState::Browse) return edit_.values.value(index).toByteArray();
    const qint64 record = id();
    if (record <= 0) return {};
    std::optional<QHash<qint64, reads::StoredRecord>> read;
    worker().call([&](StoreLink& link) {
        read = withLink(link, [&] { return reads::RecordsRead(link.database(), {record}, true).result(); });
    });
    return read && read->contains(record) ? read->value(record).values.value(index).toByteArray() : QByteArray();
}

bool RecordTable::setValue(const QString& column, const QString& text) {
    const int index = columnIndex(column);
    if (edit_.state == RecordState::Browse || !schema::isListedColumn(index)) return false;
    edit_.values[index] = text.isEmpty() ? QVariant() : QVariant(text);
    edit_.modified[index] = true;
    return true;
}

bool RecordTable::setPhoto(const QString& column, const QByteArray& bytes) {
    const int index = columnIndex(column);
    if (edit_.state == RecordState::Browse || !isPhotoColumn(index)) return false;
    edit_.values[index] = bytes.isEmpty() ? QVariant() : QVariant(bytes);
    edit_.modified[index] = true;
    return true;
}

bool RecordTable::insert() {
    if (!isOpen() || edit_.state != RecordState::Browse) return false;
    edit_.beginInsert();
    emit stateChanged(edit_.state);
    return true;
}

bool RecordTable::readForEdit(qint64 id) {
    std::optional<QHash<qint64, reads::StoredRecord>> read;
    QString error;
    bool lost = false;
    // Whether the register holds a current issue of the record decides both whether a correction
    // needs its reason and, where a clerk's change to a certified record is a request, whether
    // this one is: asked in the same round trip as the record.
    const access::StoreRights& rights = connection().rights();
    const bool mayAsk = rights.rolesInForce && !access::may(rights, access::Action::EditCertified);
    std::optional<bool> certified;
    worker().call([&](StoreLink& link) {
        read = withLink(link, [&] {
            QString issueError;
            std::optional<QHash<qint64, reads::StoredRecord>> found;
            {
                StatementBatch together(link.database());
                reads::CurrentIssue issue(link.database(), id);
                reads::RecordsRead record(link.database(), {id}, true);
                certified = issue.result(&issueError);
                found = record.result(&error);
            }
            if (mayAsk && !certified) {
                error = issueError;
                return decltype(found)();
            }
            // A login that may not read the register: its refusal took the record's read with it
            // in the batch, which is made again alone.
            if (!certified && !found && !link.isLost()) found = reads::RecordsRead(link.database(), {id}, true).result(&error);
            return found;
        });
        lost = link.isLost();
    });
    if (!read) return failWith(error, lost ? SaveFailure::Unreachable : SaveFailure::Refused);
    if (!read->contains(id)) {
        // Deleted elsewhere: the list learns it too.
        QMetaObject::invokeMethod(this, &RecordTable::refresh, Qt::QueuedConnection);
        return failWith(QStringLiteral("the record was deleted meanwhile"), SaveFailure::Deleted);
    }
    const QString reason = edit_.reason;
    edit_.beginEdit(id, read->value(id));
    edit_.reason = reason;
    edit_.byRequest = mayAsk && certified.value_or(false);
    // Where this login may not read the register, the print date tells instead.
    edit_.issued = certified ? *certified
                             : history::needsReason(textOf(edit_.original.value(schema::kPrintDateColumnIndex)));
    return true;
}

bool RecordTable::editChanged() const {
    for (int i = 0; i < int(edit_.modified.size()); ++i) {
        if (!edit_.modified[i]) continue;
        const QVariant& now = edit_.values.value(i);
        const QVariant& was = edit_.original.value(i);
        // An emptied box and a missing value are the same text.
        if (isPhotoColumn(i) ? now != was : textOf(now) != textOf(was)) return true;
    }
    return false;
}

bool RecordTable::photoReplaced() const {
    for (int i = schema::kFirstPhotoColumnIndex; i < int(edit_.modified.size()); ++i)
        if (edit_.modified[i] && edit_.values[i] != edit_.original.value(i)) return true;
    return false;
}

bool RecordTable::edit() {
    if (!isOpen() || edit_.state != RecordState::Browse) return false;
    const qint64 record = id();
    if (record <= 0 || !readForEdit(record)) return false;
    emit stateChanged(edit_.state);
    return true;
}

bool RecordTable::reloadEdited() {
    if (edit_.state != RecordState::Edit) return false;
    return readForEdit(edit_.id);
}

void RecordTable::endEdit() { edit_.clear(); }

void RecordTable::cancel() {
    if (edit_.state == RecordState::Browse) return;
    endEdit();
    emit stateChanged(edit_.state);
    if (refreshPending_) refresh();
}

bool RecordTable::post(SaveMode mode) {
    saveFailure_ = SaveFailure::None;
    if (edit_.state == RecordState::Browse) return failWith(QStringLiteral("nothing to save"));
    for (int i = 0; i < schema::kListedColumnCount; ++i) {
        if (edit_.modified[i] && textOf(edit_.values[i]).size() > schema::kTextColumnSize) {
            return failWith(QStringLiteral("the value of %1 is longer than %2 characters")
                                .arg(QString::fromUtf8(kRecordColumns[i]))
                                .arg(schema::kTextColumnSize));
        }
    }
    // An issued certificate's record is corrected on the record, with the reason why.
    if (edit_.state == RecordState::Edit && edit_.issued && edit_.reason.trimmed().isEmpty() && editChanged())
        return failWith(history::reasonRequiredText());
    if (!isOpen()) return failWith(QStringLiteral("the database is not open"));
    if (editsByRequest()) return failWith(QStringLiteral("a change to a certified record goes to a registrar as a request"));

    // The list read after the save makes every answer under way stale.
    const reads::ViewRequest after = viewAfterWrite();
    SaveOutcome outcome;
    const EditBuffer typed = edit_;
    worker().call([&](StoreLink& link) { outcome = saveRecord(link, typed, mode, after); });
    if (!outcome.saved) {
        edit_ = outcome.buffer;
        saveFailure_ = outcome.failure;
        errorText_ = outcome.error;
        const access::StoreRights& rights = worker().connection().rights();
        const bool inserting = typed.state == RecordState::Insert;
        const QString stored = textOf(typed.original.value(schema::kProvinceColumnIndex));
        // Row-level security hides a row of another province from the update, which then finds
        // nothing to change: that is no other desk's doing.
        const bool hidden = !inserting && rights.rolesInForce && !rights.provinces.contains(stored);
        if (saveFailure_ == SaveFailure::ChangedElsewhere && hidden) {
            saveFailure_ = SaveFailure::NotAllowed;
            errorText_.clear();
        }
        // Without the office's roles a refused grant is the store's rule as before, in its words.
        if (saveFailure_ == SaveFailure::NotAllowed && !rights.rolesInForce && !access::isGuardsWords(errorText_))
            saveFailure_ = SaveFailure::Refused;
        if (saveFailure_ == SaveFailure::NotAllowed)
            errorText_ = access::refusalText(errorText_, inserting ? access::Action::SaveNew : access::Action::EditUncertified,
                                             hidden ? stored : textOf(typed.values.value(schema::kProvinceColumnIndex)), rights);
        if (saveFailure_ == SaveFailure::ChangedElsewhere) refreshPending_ = true;
        return false;
    }
    const bool inserting = outcome.buffer.state == RecordState::Insert;
    emit recordSaved(inserting ? QVector<QVariant>() : outcome.buffer.original, outcome.buffer.values);
    endEdit();
    errorText_.clear();
    refreshPending_ = false;
    // The save is done; should the rows not be readable now, what was shown stays and the user
    // is told.
    if (outcome.view) {
        showView(*outcome.view);
    } else {
        readFailure(QStringLiteral("the rows could not be read after the save"), worker().isLinkLost());
    }
    emit stateChanged(edit_.state);
    return true;
}

bool RecordTable::remove() {
    if (!isOpen() || edit_.state != RecordState::Browse) return false;
    const qint64 record = id();
    if (record <= 0) return false;
    const reads::ViewRequest after = viewAfterWrite();
    DeleteOutcome outcome;
    worker().call([&](StoreLink& link) { outcome = deleteRecord(link, record, after); });
    const access::StoreRights& rights = worker().connection().rights();
    if (outcome.failure == SaveFailure::NotAllowed && !rights.rolesInForce && !access::isGuardsWords(outcome.error))
        outcome.failure = SaveFailure::Refused;
    if (!outcome.deleted)
        return failWith(outcome.failure == SaveFailure::NotAllowed
                            ? access::refusalText(outcome.error, access::Action::EditUncertified,
                                                  value(QString::fromUtf8(kRecordColumns[schema::kProvinceColumnIndex])),
                                                  rights)
                            : outcome.error,
                        outcome.failure);
    emit recordRemoved();
    if (outcome.view) showView(*outcome.view);
    else readFailure(QStringLiteral("the rows could not be read after the delete"), worker().isLinkLost());
    return true;
}

}  // namespace zartav
