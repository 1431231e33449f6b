#pragma once

#include "logic/scan/TableChoice.h"

#include <QAbstractTableModel>
#include <QSet>
#include <vector>

namespace rq {

// The Tables dialog's list: each table with a tick box (tables only: views and the rest are never read), why
// one that is not ticked is left out, and a filter. Filtering and "All"/"None" reach the view as one change,
// not one per row, so that the view and a screen reader's bridge, which follows every change it is told about,
// stay quick with tens of thousands of tables.
class TableChoiceModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setDecisions(QList<TableDecision> decisions);
    // Shows the tables whose name holds `text`, letter case ignored.
    void setFilter(const QString& text);
    // Ticks or unticks every table shown.
    void tickShown(bool ticked);
    // The tables ticked now, by quoted name (TableName::quoted), shown or not.
    QSet<QString> ticked() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    // Why a table that is not ticked now is left out; empty for one that is.
    QString reason(std::size_t table) const;
    bool tickable(std::size_t table) const;

    QList<TableDecision> decisions_;
    std::vector<bool> ticked_;
    std::vector<std::size_t> shown_; // the tables the filter lets through, in list order
};

} // namespace rq
