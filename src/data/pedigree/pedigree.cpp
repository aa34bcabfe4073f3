#include "data/pedigree/pedigree.h"

#include <cmath>
#include <limits>
#include <queue>

namespace zartav::pedigree {
namespace {

constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();
// A hostile or damaged store cannot make a pedigree without end.
constexpr int kMaxNodes = 2'000'000;

QString keyOf(const Animal& a) {
    switch (a.source) {
    case Source::Record: return QStringLiteral("r%1").arg(a.id);
    case Source::Catalogue: return QStringLiteral("c%1").arg(a.id);
    case Source::Number: break;
    }
    const QString number = fold(a.number);
    return number.isEmpty() ? QString() : QStringLiteral("n") + number;
}

// The path coefficients of `from` to itself and each of its ancestors: 1, 1/2 to a parent, and
// so on, summed over every path. Ancestors are visited youngest first, so each one's share is
// whole before it is handed on to its parents.
template <typename Visit>
void walkAncestors(const QVector<Node>& nodes, const QVector<int>& position, int from, QVector<double>& share,
                   QVector<char>& queued, Visit visit) {
    std::priority_queue<std::pair<int, int>> next;
    share[from] = 1;
    queued[from] = 1;
    next.push({position[from], from});
    QVector<int> touched{from};
    while (!next.empty()) {
        const int j = next.top().second;
        next.pop();
        visit(j, share[j]);
        for (const int p : {nodes[j].sire, nodes[j].dam}) {
            if (p < 0) continue;
            share[p] += share[j] / 2;
            if (!queued[p]) {
                queued[p] = 1;
                touched << p;
                next.push({position[p], p});
            }
        }
    }
    for (const int t : touched) {
        share[t] = 0;
        queued[t] = 0;
    }
}

}  // namespace

int PedigreeGraph::add(const Animal& animal) {
    QString key = keyOf(animal);
    if (!key.isEmpty()) {
        if (const int held = keys_.value(key, -1); held >= 0) return held;
    } else {
        key = QStringLiteral("#%1").arg(nodes_.size());
    }
    const int index = int(nodes_.size());
    nodes_.append({key, animal});
    keys_.insert(key, index);
    pending_ << Pending{index, true} << Pending{index, false};
    ordered_ = false;
    return index;
}

int PedigreeGraph::nodeFor(const ParentRef& ref, bool sire) {
    const Animal* found = nullptr;
    for (const QString& number : ref.numbers) {
        // A sire is a bull of the catalogue first; a dam is a record of the store.
        if (sire && found_.catalogue.contains(number)) found = &found_.catalogue[number];
        else if (found_.records.contains(number)) found = &found_.records[number];
        if (found) break;
    }
    Animal animal;
    if (found) {
        animal = *found;
    } else {
        animal.number = ref.number;
    }
    if (animal.name.isEmpty()) animal.name = ref.name;
    if (animal.hf.isEmpty()) animal.hf = ref.hf;
    // What the child's own columns say of the grandparents serves where the parent says nothing.
    if (!animal.sire.known() && ref.sire) animal.sire = *ref.sire;
    if (!animal.dam.known() && ref.dam) animal.dam = *ref.dam;
    const QString key = found ? keyOf(animal) : QStringLiteral("n") + ref.numbers.first();
    if (const int held = keys_.value(key, -1); held >= 0) {
        Node& node = nodes_[held];
        for (const bool side : {true, false}) {
            ParentRef& mine = side ? node.animal.sire : node.animal.dam;
            const ParentRef& theirs = side ? animal.sire : animal.dam;
            if (mine.known() || !theirs.known()) continue;
            mine = theirs;
            pending_ << Pending{held, side};
            f_.clear();  // the node has gained ancestors: every F below it may change
            d_.clear();
        }
        return held;
    }
    const int index = int(nodes_.size());
    nodes_.append({key, std::move(animal)});
    keys_.insert(key, index);
    pending_ << Pending{index, true} << Pending{index, false};
    return index;
}

void PedigreeGraph::resolve(const Pending& p) {
    const ParentRef ref = p.sire ? nodes_[p.node].animal.sire : nodes_[p.node].animal.dam;
    if (!ref.known() || nodes_.size() >= kMaxNodes) return;
    const int parent = nodeFor(ref, p.sire);
    (p.sire ? nodes_[p.node].sire : nodes_[p.node].dam) = parent;
    ordered_ = false;
}

bool PedigreeGraph::complete(const AnimalReader& reader, QString* error) {
    while (!pending_.isEmpty()) {
        QStringList sires, dams;
        for (const Pending& p : std::as_const(pending_)) {
            const ParentRef& ref = p.sire ? nodes_[p.node].animal.sire : nodes_[p.node].animal.dam;
            QSet<QString>& asked = p.sire ? askedSires_ : askedDams_;
            for (const QString& number : ref.numbers)
                if (!asked.contains(number)) {
                    asked.insert(number);
                    (p.sire ? sires : dams) << number;
                }
        }
        if ((!sires.isEmpty() || !dams.isEmpty()) && !reader.find(sires, dams, found_, error)) return false;
        const QList<Pending> generation = std::exchange(pending_, {});
        for (const Pending& p : generation) resolve(p);
    }
    return true;
}

void PedigreeGraph::order() {
    if (ordered_) return;
    const int n = int(nodes_.size());
    QVector<char> colour(n, 0);  // 0 not seen, 1 on the path, 2 done
    order_.clear();
    order_.reserve(n);
    struct Step {
        int node;
        int stage;
    };
    QVector<Step> path;
    bool cut = false;
    for (int start = 0; start < n; ++start) {
        if (colour[start]) continue;
        path.append({start, 0});
        while (!path.isEmpty()) {
            Step& top = path.last();
            const int x = top.node;
            if (top.stage == 2) {
                colour[x] = 2;
                order_ << x;
                path.removeLast();
                continue;
            }
            colour[x] = 1;
            int& parent = top.stage == 0 ? nodes_[x].sire : nodes_[x].dam;
            ++top.stage;
            if (parent < 0) continue;
            if (colour[parent] == 1) {
                parent = -1;  // the animal would be its own ancestor
                cut = true;
            } else if (colour[parent] == 0) {
                path.append({parent, 0});
            }
        }
    }
    position_.resize(n);
    for (int i = 0; i < n; ++i) position_[order_[i]] = i;
    if (cut) {
        f_.clear();
        d_.clear();
    }
    ordered_ = true;
}

void PedigreeGraph::computeInbreeding() {
    order();
    const int n = int(nodes_.size());
    f_.resize(n, kUnknown);
    d_.resize(n, kUnknown);
    QVector<double> share(n, 0);
    QVector<char> queued(n, 0);
    for (const int x : std::as_const(order_)) {
        if (!std::isnan(f_[x])) continue;
        const int s = nodes_[x].sire, d = nodes_[x].dam;
        d_[x] = 0.5 - 0.25 * ((s < 0 ? -1 : f_[s]) + (d < 0 ? -1 : f_[d]));
        if (s < 0 || d < 0) {
            f_[x] = 0;
            continue;
        }
        double sum = 0;
        walkAncestors(nodes_, position_, x, share, queued, [&](int j, double l) { sum += l * l * d_[j]; });
        f_[x] = std::max(0.0, sum - 1);
    }
}

double PedigreeGraph::inbreeding(int node) {
    if (node < 0 || node >= nodes_.size()) return 0;
    computeInbreeding();
    return f_[node];
}

QVector<double> PedigreeGraph::matingInbreeding(int dam) {
    computeInbreeding();
    const int n = int(nodes_.size());
    // a(x, dam) = L(dam, x) D(x) + (a(sire of x, dam) + a(dam of x, dam)) / 2, parents first.
    QVector<double> own(n, 0), share(n, 0);
    QVector<char> queued(n, 0);
    if (dam >= 0 && dam < n)
        walkAncestors(nodes_, position_, dam, share, queued, [&](int j, double l) { own[j] = l * d_[j]; });
    QVector<double> kinship(n, 0);
    for (const int x : std::as_const(order_)) {
        const int s = nodes_[x].sire, d = nodes_[x].dam;
        kinship[x] = own[x] + ((s < 0 ? 0 : kinship[s]) + (d < 0 ? 0 : kinship[d])) / 2;
    }
    for (double& k : kinship) k /= 2;  // the calf's F is its parents' kinship, half their relationship
    return kinship;
}

std::optional<Pedigree> Pedigree::read(const AnimalReader& reader, const Animal& root, QString* error) {
    Pedigree p;
    p.root_ = p.graph_.add(root);
    if (!p.graph_.complete(reader, error)) return std::nullopt;
    return p;
}

int Pedigree::at(const QString& position) const {
    int x = root_;
    for (const QChar c : position) {
        if (x < 0) return -1;
        x = c == u'S' ? graph_.nodes().at(x).sire : graph_.nodes().at(x).dam;
    }
    return x;
}

QStringList Pedigree::positions(int generations) {
    QStringList all, last{QString()};
    for (int g = 1; g <= generations; ++g) {
        QStringList next;
        for (const QString& p : std::as_const(last)) next << p + QLatin1Char('S') << p + QLatin1Char('D');
        all << next;
        last = next;
    }
    return all;
}

double Pedigree::completeness(int generations) const {
    const QStringList all = positions(generations);
    int known = 0;
    for (const QString& p : all) known += at(p) >= 0 ? 1 : 0;
    return all.isEmpty() ? 0 : double(known) / double(all.size());
}

QString percentText(double share, int decimals) {
    QString text = QString::number(share * 100, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0'))) text.chop(1);
        if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    }
    if (text == QLatin1String("-0")) text = QStringLiteral("0");
    return text + QStringLiteral(" %");
}

}  // namespace zartav::pedigree
