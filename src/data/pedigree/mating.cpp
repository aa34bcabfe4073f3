#include "data/pedigree/mating.h"

namespace zartav::pedigree {

bool MatingTable::prepare(const StoreLink& connection, int rows, const std::function<QStringList(int row)>& values,
                          QString* error) {
    reader_ = std::make_unique<AnimalReader>(connection);
    graph_ = PedigreeGraph();
    bullNodes_.clear();
    QHash<QString, Animal> bulls;
    QVector<Animal> inOrder;
    inOrder.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        const QStringList v = values(row);
        inOrder << AnimalReader::bullFrom(row, v);
        for (const QString& number : AnimalReader::bullNumbers(v))
            if (!bulls.contains(number)) bulls.insert(number, inOrder.last());
    }
    reader_->useCatalogue(std::move(bulls));
    for (const Animal& bull : std::as_const(inOrder)) bullNodes_ << graph_.add(bull);
    if (!graph_.complete(*reader_, error)) {
        reader_.reset();
        return false;
    }
    graph_.inbreeding(0);  // every bull's ancestry once, so that a dam costs only her own
    return true;
}

std::optional<QVector<double>> MatingTable::forDam(const QString& dam, QString* error) {
    if (!reader_) return std::nullopt;
    const QString number = fold(dam);
    QVector<double> f(bullNodes_.size(), 0);
    if (number.isEmpty()) return f;
    AnimalReader::Found found;
    if (!reader_->find({}, {number}, found, error)) return std::nullopt;
    Animal cow;
    if (found.records.contains(number)) {
        cow = found.records.value(number);
    } else {
        cow.number = dam.trimmed();
    }
    const int node = graph_.add(cow);
    if (!graph_.complete(*reader_, error)) return std::nullopt;
    const QVector<double> all = graph_.matingInbreeding(node);
    for (int row = 0; row < bullNodes_.size(); ++row) f[row] = all[bullNodes_[row]];
    return f;
}

}  // namespace zartav::pedigree
