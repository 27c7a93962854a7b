#include "app/UnresolvedLinesModel.h"

#include "catalogue/Inventory.h"
#include "output/OutputFormat.h"
#include "platform/files/HostNames.h"

#include <QHash>
#include <algorithm>

QString ReasonText(const QString& reason)
{
    static const QHash<QString, QString> texts{
        {QString::fromLatin1(MissingReason::NotRegistered), QStringLiteral("no registrada")},
        {QString::fromLatin1(MissingReason::VersionNotRegistered), QStringLiteral("versión no registrada")},
        {QString::fromLatin1(MissingReason::LocaleNotRegistered), QStringLiteral("configuración regional no registrada")},
        {QString::fromLatin1(MissingReason::RegisteredFileMissing), QStringLiteral("falta el archivo registrado")},
        {QString::fromLatin1(MissingReason::NotATypeLibrary), QStringLiteral("no es una biblioteca de tipos")},
        {QString::fromLatin1(MissingReason::WrittenPathMissing), QStringLiteral("falta la ruta escrita")},
        {QString::fromLatin1(MissingReason::UnreadableLine), QStringLiteral("línea ilegible")},
        {QString::fromLatin1(MissingReason::ProjectFileMissing), QStringLiteral("falta el proyecto")},
        {QStringLiteral("registered for 64-bit Windows only"), QStringLiteral("registrada solo para Windows de 64 bits")},
        {QStringLiteral("only in the 64-bit system folder"), QStringLiteral("solo en la carpeta de sistema de 64 bits")},
    };
    return texts.value(reason, reason);
}

QString KindText(const QString& kind)
{
    if (kind == QStringLiteral("reference"))
        return QStringLiteral("referencia");
    if (kind == QStringLiteral("component"))
        return QStringLiteral("componente");
    if (kind == QStringLiteral("project"))
        return QStringLiteral("proyecto");
    return kind;
}

UnresolvedLinesModel::UnresolvedLinesModel(QObject* parent) : QAbstractTableModel(parent) {}

QStringList UnresolvedLinesModel::Headers()
{
    return {QStringLiteral("Proyecto"), QStringLiteral("Línea"),  QStringLiteral("Tipo"),
            QStringLiteral("GUID"),     QStringLiteral("Versión"), QStringLiteral("Config. regional"),
            QStringLiteral("Ruta"),     QStringLiteral("Nombre"), QStringLiteral("Motivo")};
}

int UnresolvedLinesModel::intern(const QString& text)
{
    auto it = textIndex_.constFind(text);
    if (it == textIndex_.constEnd()) {
        it = textIndex_.insert(text, static_cast<int>(texts_.size()));
        texts_.push_back(text);
    }
    return *it;
}

int UnresolvedLinesModel::textSlot(int column) const
{
    return column < Line ? column : column - 1;
}

QString UnresolvedLinesModel::cell(const Row& row, int column) const
{
    if (column == Line)
        return QString::number(row.line);
    return texts_[static_cast<std::size_t>(row.text[textSlot(column)])];
}

void UnresolvedLinesModel::SetInventory(const Inventory* inventory)
{
    beginResetModel();
    texts_.clear();
    textIndex_.clear();
    rows_.clear();
    if (inventory) {
        const std::vector<const RecordedLine*> lines = inventory->Unresolved();
        rows_.reserve(lines.size());
        // The same texts come back line after line (a project's path, a library written by
        // many projects): each is made displayable and kept once.
        QHash<int, int> projectText;
        for (const RecordedLine* line : lines) {
            Row row;
            row.projectIndex = line->projectIndex;
            row.line = line->line;
            auto project = projectText.constFind(line->projectIndex);
            if (project == projectText.constEnd())
                project = projectText.insert(line->projectIndex,
                                             intern(OutputText::shown(inventory->ProjectPath(line->projectIndex))));
            const WrittenFields f = FieldsAsWritten(*line);
            const QString cells[TextColumns] = {QString(), KindText(line->kind), f.guid, f.version, f.locale,
                                                f.path, f.name, ReasonText(line->reason)};
            row.text[0] = *project;
            for (int c = 1; c < TextColumns; ++c)
                row.text[c] = intern(OutputText::shown(cells[c]));
            rows_.push_back(row);
        }
    }
    order();
    filter();
    endResetModel();
}

void UnresolvedLinesModel::order()
{
    sorted_.resize(rows_.size());
    for (std::size_t i = 0; i < sorted_.size(); ++i)
        sorted_[i] = static_cast<int>(i);
    if (sortColumn_ < 0 || sortColumn_ >= ColumnCount)
        return;
    // Rows are sorted by rank: each distinct text is compared once, the rows by number.
    std::vector<int> rank;
    if (sortColumn_ != Line) {
        std::vector<int> distinct(texts_.size());
        for (std::size_t i = 0; i < distinct.size(); ++i)
            distinct[i] = static_cast<int>(i);
        std::sort(distinct.begin(), distinct.end(), [this](int a, int b) {
            const int c = texts_[std::size_t(a)].compare(texts_[std::size_t(b)], Qt::CaseInsensitive);
            return c != 0 ? c < 0 : texts_[std::size_t(a)] < texts_[std::size_t(b)];
        });
        rank.resize(texts_.size());
        for (std::size_t r = 0; r < distinct.size(); ++r)
            rank[std::size_t(distinct[r])] = static_cast<int>(r);
    }
    const int slot = textSlot(sortColumn_);
    auto key = [&](int row) {
        const Row& r = rows_[std::size_t(row)];
        return sortColumn_ == Line ? r.line : rank[std::size_t(r.text[slot])];
    };
    if (sortOrder_ == Qt::AscendingOrder)
        std::stable_sort(sorted_.begin(), sorted_.end(), [&](int a, int b) { return key(a) < key(b); });
    else
        std::stable_sort(sorted_.begin(), sorted_.end(), [&](int a, int b) { return key(a) > key(b); });
}

void UnresolvedLinesModel::filter()
{
    shown_.clear();
    shown_.reserve(sorted_.size());
    // Whether each distinct text holds the filter, asked once per text.
    std::vector<char> matches;
    if (!filter_.isEmpty()) {
        matches.resize(texts_.size());
        for (std::size_t i = 0; i < texts_.size(); ++i)
            matches[i] = texts_[i].contains(filter_, Qt::CaseInsensitive);
    }
    for (int index : sorted_) {
        const Row& row = rows_[std::size_t(index)];
        if (projectShown_ && !projectShown_(row.projectIndex))
            continue;
        if (!filter_.isEmpty()) {
            bool found = QString::number(row.line).contains(filter_);
            for (int c = 0; c < TextColumns && !found; ++c)
                found = matches[std::size_t(row.text[c])];
            if (!found)
                continue;
        }
        shown_.push_back(index);
    }
}

void UnresolvedLinesModel::SetFilter(const QString& text)
{
    if (text == filter_)
        return;
    beginResetModel();
    filter_ = text;
    filter();
    endResetModel();
}

void UnresolvedLinesModel::SetProjectFilter(std::function<bool(int)> shown)
{
    beginResetModel();
    projectShown_ = std::move(shown);
    filter();
    endResetModel();
}

void UnresolvedLinesModel::Refilter()
{
    beginResetModel();
    filter();
    endResetModel();
}

int UnresolvedLinesModel::ProjectIndexAt(int row) const
{
    if (row < 0 || std::size_t(row) >= shown_.size())
        return 0;
    return rows_[std::size_t(shown_[std::size_t(row)])].projectIndex;
}

QStringList UnresolvedLinesModel::RowTexts(int row) const
{
    QStringList texts;
    if (row < 0 || std::size_t(row) >= shown_.size())
        return texts;
    const Row& r = rows_[std::size_t(shown_[std::size_t(row)])];
    for (int c = 0; c < ColumnCount; ++c)
        texts.append(cell(r, c));
    return texts;
}

int UnresolvedLinesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int UnresolvedLinesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant UnresolvedLinesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || std::size_t(index.row()) >= shown_.size())
        return {};
    const Row& row = rows_[std::size_t(shown_[std::size_t(index.row())])];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cell(row, index.column());
    if (role == Qt::TextAlignmentRole && index.column() == Line)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant UnresolvedLinesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return Headers()[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

void UnresolvedLinesModel::sort(int column, Qt::SortOrder order)
{
    beginResetModel();
    sortColumn_ = column;
    sortOrder_ = order;
    this->order();
    filter();
    endResetModel();
}
