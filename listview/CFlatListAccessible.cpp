// What a screen reader gets from the file list: Qt's own table interface, with header items
// that also offer the header click (sorting) as their press action.
#include "listview/CFlatListCtrl.h"

#include <QAccessible>
#include <QHeaderView>
#include <QPointer>

#include <map>

namespace {

bool s_bMakingInner = false;

class FileListAccessible;

// The first row of the table's children may start with the corner of a (hidden) row header:
// 1 when it does, so header item i is child HeaderCorner() + i.
int HeaderCorner(const CFlatListCtrl* list, const QAccessibleInterface* table) {
    return table->childCount() == (list->rowCount() + 1) * (list->columnCount() + 1) ? 1 : 0;
}

// A header item as Qt describes it, plus the press that sorts by it.
class HeaderItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    // nIndex is the item's index among the table's children.
    HeaderItemAccessible(FileListAccessible* table, int nIndex)
        : m_pTable(table), m_nIndex(nIndex) {}

    QAccessibleInterface* Inner() const;
    bool isValid() const override { return Inner() != nullptr; }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        QAccessibleInterface* inner = Inner();
        return inner ? inner->text(t) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        QAccessibleInterface* inner = Inner();
        return inner ? inner->rect() : QRect();
    }
    QAccessible::Role role() const override { return QAccessible::ColumnHeader; }
    QAccessible::State state() const override {
        QAccessibleInterface* inner = Inner();
        return inner ? inner->state() : QAccessible::State();
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                 : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    QString localizedActionDescription(const QString& name) const override {
        return name == pressAction() ? QStringLiteral("Sort by this column")
                                     : QAccessibleActionInterface::localizedActionDescription(name);
    }
    void doAction(const QString& name) override;
    QStringList keyBindingsForAction(const QString& name) const override {
        return name == pressAction() ? QStringList{QStringLiteral("Alt+S")} : QStringList();
    }

private:
    FileListAccessible* m_pTable;
    int m_nIndex;
};

// Qt's table interface for the list, with the header items of its first row replaced.
class FileListAccessible : public QAccessibleInterface {
public:
    FileListAccessible(CFlatListCtrl* list, QAccessibleInterface* inner)
        : m_pList(list), m_pInner(inner), m_innerId(QAccessible::uniqueId(inner)) {}
    ~FileListAccessible() override {
        for (const auto& [index, id] : m_headerIds)
            QAccessible::deleteAccessibleInterface(id);
        QAccessible::deleteAccessibleInterface(m_innerId);
    }

    QAccessibleInterface* Inner() const { return m_pInner; }
    CFlatListCtrl* List() const { return m_pList; }

    bool isValid() const override { return m_pList && m_pInner->isValid(); }
    QObject* object() const override { return m_pList; }
    QWindow* window() const override { return m_pInner->window(); }
    QAccessibleInterface* focusChild() const override { return Wrap(m_pInner->focusChild()); }
    QAccessibleInterface* childAt(int x, int y) const override {
        return Wrap(m_pInner->childAt(x, y));
    }
    QAccessibleInterface* parent() const override { return m_pInner->parent(); }
    QAccessibleInterface* child(int index) const override { return Wrap(m_pInner->child(index)); }
    int childCount() const override { return m_pInner->childCount(); }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (const auto& [index, id] : m_headerIds)
            if (QAccessible::accessibleInterface(id) == child)
                return index;
        return m_pInner->indexOfChild(child);
    }
    QString text(QAccessible::Text t) const override { return m_pInner->text(t); }
    void setText(QAccessible::Text t, const QString& text) override { m_pInner->setText(t, text); }
    QRect rect() const override { return m_pInner->rect(); }
    QAccessible::Role role() const override { return m_pInner->role(); }
    QAccessible::State state() const override { return m_pInner->state(); }
    void* interface_cast(QAccessible::InterfaceType t) override {
        return m_pInner->interface_cast(t);
    }

    // Header items are in the first row of children.
    QAccessibleInterface* Wrap(QAccessibleInterface* child) const {
        if (child == nullptr || child->role() != QAccessible::ColumnHeader)
            return child;
        const int index = m_pInner->indexOfChild(child);
        if (index < 0)
            return child;
        auto it = m_headerIds.find(index);
        if (it == m_headerIds.end()) {
            auto* wrapped = new HeaderItemAccessible(const_cast<FileListAccessible*>(this), index);
            it =
                m_headerIds.emplace(index, QAccessible::registerAccessibleInterface(wrapped)).first;
        }
        return QAccessible::accessibleInterface(it->second);
    }

private:
    QPointer<CFlatListCtrl> m_pList;
    QAccessibleInterface* m_pInner;
    QAccessible::Id m_innerId;
    mutable std::map<int, QAccessible::Id> m_headerIds; // by child index
};

QAccessibleInterface* HeaderItemAccessible::Inner() const {
    if (m_pTable->List() == nullptr || m_nIndex >= m_pTable->Inner()->childCount())
        return nullptr;
    QAccessibleInterface* inner = m_pTable->Inner()->child(m_nIndex);
    return inner && inner->role() == QAccessible::ColumnHeader ? inner : nullptr;
}

QAccessibleInterface* HeaderItemAccessible::parent() const {
    return m_pTable;
}

void HeaderItemAccessible::doAction(const QString& name) {
    CFlatListCtrl* list = m_pTable->List();
    if (name != pressAction() || list == nullptr || Inner() == nullptr)
        return;
    const int nColumn = m_nIndex - HeaderCorner(list, m_pTable->Inner());
    if (nColumn < 0 || nColumn >= list->columnCount())
        return;
    // The bus call returns first; the sort runs from the event loop, as a click's would.
    QMetaObject::invokeMethod(
        list, [list, nColumn] { list->OnHeaderItemClick(nColumn, 0); }, Qt::QueuedConnection);
}

QAccessibleInterface* FileListFactory(const QString& className, QObject* object) {
    auto* list = qobject_cast<CFlatListCtrl*>(object);
    if (list == nullptr || s_bMakingInner || className != QLatin1String("CFlatListCtrl"))
        return nullptr;
    // Qt's interface for the table, made by the factories further down the class chain.
    s_bMakingInner = true;
    QAccessibleInterface* inner = QAccessible::queryAccessibleInterface(object);
    s_bMakingInner = false;
    return inner ? new FileListAccessible(list, inner) : nullptr;
}

} // namespace

void CFlatListCtrl::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (!m_bAnnouncing)
        m_strSortSpoken.clear(); // said once, with the row the sort left current
    if (m_bReordering)           // QTableView's own would send the focus event
        QAbstractItemView::currentChanged(current, previous);
    else
        QTableWidget::currentChanged(current, previous);
}

void CFlatListCtrl::selectionChanged(const QItemSelection& selected,
                                     const QItemSelection& deselected) {
    if (m_bReordering)
        QAbstractItemView::selectionChanged(selected, deselected);
    else
        QTableWidget::selectionChanged(selected, deselected);
}

void CFlatListCtrl::AnnounceOrderChange(int nRowBefore, int nSortedColumn) {
    if (!QAccessible::isActive())
        return;
    // The rows were exchanged in place, so every cell object a screen reader holds is still
    // alive (it dropped what it was saying when the one it had focused went away).
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(this);
    m_strSortSpoken = nSortedColumn >= 0 ? model()
                                               ->headerData(nSortedColumn, Qt::Horizontal,
                                                            Qt::AccessibleDescriptionRole)
                                               .toString()
                                         : QString();
    if (table != nullptr && nSortedColumn >= 0) {
        if (QAccessibleInterface* item = table->child(HeaderCorner(this, table) + nSortedColumn)) {
            QAccessibleEvent changed(item, QAccessible::DescriptionChanged);
            QAccessible::updateAccessibility(&changed);
        }
    }
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    if (current.row() == nRowBefore) {
        // The same cell keeps the focus, which a screen reader would not read again: its
        // place is said as its description.
        QAccessibleTableInterface* cells = table != nullptr ? table->tableInterface() : nullptr;
        if (QAccessibleInterface* cell =
                cells != nullptr ? cells->cellAt(current.row(), current.column()) : nullptr) {
            QAccessibleEvent changed(cell, QAccessible::DescriptionChanged);
            QAccessible::updateAccessibility(&changed);
        }
        return;
    }
    // The current row again, which sends the focus event with its new index.
    m_bAnnouncing = true;
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    m_bAnnouncing = false;
}

void CFlatListCtrl::InstallAccessibility() {
    static const bool s_bInstalled = [] {
        QAccessible::installFactory(FileListFactory);
        return true;
    }();
    Q_UNUSED(s_bInstalled);
    // Qt may have made its own interface while the view was being built.
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(this);
    if (iface != nullptr && dynamic_cast<FileListAccessible*>(iface) == nullptr)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}
