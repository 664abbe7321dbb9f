// The plan table as the view shows it: sorted by any column (Result by
// result, failures first) and, with "failed only", just the rows whose
// device did not take its values.
#pragma once

#include "plantable.h"

#include <QSortFilterProxyModel>

namespace Bench {

class ResultFilter : public QSortFilterProxyModel
{
public:
    explicit ResultFilter(QObject *parent = nullptr) : QSortFilterProxyModel(parent)
    {
        setSortRole(PlanTable::SortRole);
        setDynamicSortFilter(false);  // rows stay where they are while results come
    }

    void setFailedOnly(bool failedOnly)
    {
        m_failedOnly = failedOnly;
        setDynamicSortFilter(failedOnly);  // a row that fails appears at once
        invalidateFilter();
    }
    bool failedOnly() const { return m_failedOnly; }

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        return !m_failedOnly || sourceModel()->index(row, 0, parent).data(PlanTable::FailedRole).toBool();
    }

private:
    bool m_failedOnly = false;
};

} // namespace Bench
