// The exam trees: in-tree drags as a table of targets, the private-format drag and the
// spirometry viewer's double click.
#include <gtest/gtest.h>

#include <QMimeData>
#include <QTest>

#include "testsupport/qtapp.h"
#include "viewers/common/examtree.h"

namespace {

::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

// Two patients: A with exams a1, a2; B with exam b1.
struct Tree {
    CColorTreeCtrl tree;
    QTreeWidgetItem *A, *a1, *a2, *B, *b1;
    Tree() {
        A = new QTreeWidgetItem(&tree, {"A"});
        a1 = new QTreeWidgetItem(A, {"a1"});
        a2 = new QTreeWidgetItem(A, {"a2"});
        B = new QTreeWidgetItem(&tree, {"B"});
        b1 = new QTreeWidgetItem(B, {"b1"});
        CColorTreeCtrl::SetItemData(a1, 11);
        CColorTreeCtrl::SetItemData(a2, 12);
        CColorTreeCtrl::SetItemData(b1, 21);
    }
    // "A(a1,a2) B(b1)" with each item's data.
    QString Shape() const {
        QString s;
        for (int i = 0; i < tree.topLevelItemCount(); ++i) {
            QTreeWidgetItem* t = tree.topLevelItem(i);
            s += t->text(0) + "(";
            for (int j = 0; j < t->childCount(); ++j)
                s += (j ? "," : "") + t->child(j)->text(0) + ":" +
                     QString::number(CColorTreeCtrl::ItemData(t->child(j)));
            s += ") ";
        }
        return s.trimmed();
    }
};

const QString kUnchanged = "A(a1:11,a2:12) B(b1:21)";

TEST(ExamTree, DragsAsATable) {
    struct Case {
        const char* name;
        QTreeWidgetItem* Tree::*drag;
        QTreeWidgetItem* Tree::*target;  // nullptr: empty space
        QString expected;
    } cases[] = {
        {"top-level item", &Tree::A, &Tree::B, kUnchanged},
        {"own parent", &Tree::a1, &Tree::A, kUnchanged},
        {"second-level item", &Tree::a1, &Tree::b1, kUnchanged},
        {"empty space", &Tree::a1, nullptr, kUnchanged},
        {"itself", &Tree::a1, &Tree::a1, kUnchanged},
        {"other top-level item", &Tree::a1, &Tree::B, "A(a2:12) B(b1:21,a1:11)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Tree t;
        QTreeWidgetItem* drag = t.*(c.drag);
        QTreeWidgetItem* target = c.target ? t.*(c.target) : nullptr;
        const bool bStarted = t.tree.BeginDrag(drag);
        EXPECT_EQ(bStarted, drag->parent() != nullptr);
        t.tree.DragOver(target);
        t.tree.EndDrag(target);
        EXPECT_FALSE(t.tree.IsDragging());
        EXPECT_EQ(t.Shape(), c.expected);
        EXPECT_EQ(t.tree.DropHighlight(), nullptr);
    }
}

TEST(ExamTree, TheMovedCopyIsSelectedAndItsTargetExpanded) {
    Tree t;
    t.a1->setIcon(0, QIcon(QPixmap(4, 4)));
    ASSERT_TRUE(t.tree.BeginDrag(t.a1));
    t.tree.EndDrag(t.B);
    QTreeWidgetItem* moved = t.B->child(1);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(t.tree.currentItem(), moved);
    EXPECT_TRUE(t.B->isExpanded());
    EXPECT_FALSE(moved->icon(0).isNull());
}

TEST(ExamTree, CursorAndHighlightFollowTheItemUnderTheCursor) {
    Tree t;
    ASSERT_TRUE(t.tree.BeginDrag(t.a1));
    t.tree.DragOver(t.b1);
    EXPECT_EQ(t.tree.DragCursor(), Qt::ForbiddenCursor);
    EXPECT_EQ(t.tree.DropHighlight(), nullptr);
    t.tree.DragOver(t.B);
    EXPECT_EQ(t.tree.DragCursor(), Qt::ArrowCursor);
    EXPECT_EQ(t.tree.DropHighlight(), t.B);
    t.tree.DragOver(t.A);  // its own parent: not highlighted
    EXPECT_EQ(t.tree.DropHighlight(), t.B);
    t.tree.EndDrag(nullptr);
    EXPECT_EQ(t.Shape(), kUnchanged);
}

TEST(ExamTree, RealMouseDragMovesTheItem) {
    Tree t;
    t.tree.expandAll();
    t.tree.resize(200, 200);
    t.tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&t.tree));
    QWidget* vp = t.tree.viewport();
    const QPoint from = t.tree.visualItemRect(t.a1).center();
    const QPoint to = t.tree.visualItemRect(t.B).center();
    QTest::mousePress(vp, Qt::LeftButton, {}, from);
    QMouseEvent move1(QEvent::MouseMove, QPointF(from + QPoint(0, 20)),
                      vp->mapToGlobal(QPointF(from)), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(vp, &move1);
    EXPECT_TRUE(t.tree.IsDragging());
    QMouseEvent move2(QEvent::MouseMove, QPointF(to), vp->mapToGlobal(QPointF(to)), Qt::NoButton,
                      Qt::LeftButton, {});
    QApplication::sendEvent(vp, &move2);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, to);
    EXPECT_EQ(t.Shape(), "A(a2:12) B(b1:21,a1:11)");
}

class CSourceTree : public CExamTreeCtrl {
public:
    QMimeData* CreateDataSource(QTreeWidgetItem* p) override {
        auto* d = new QMimeData;
        d->setData(kExamTreeMimeType, p->text(0).toUtf8());
        return d;
    }
    QByteArray m_last;

protected:
    void ExecDrag(QMimeData* pData) override {
        m_last = pData->data(kExamTreeMimeType);
        delete pData;
    }
};

TEST(ExamTree, LindarsExamTreeStartsNoDragOfItsOwnFormat) {
    CExamTreeCtrl tree;
    auto* p = new QTreeWidgetItem(&tree, {"P"});
    auto* e = new QTreeWidgetItem(p, {"E"});
    EXPECT_EQ(tree.CreateDataSource(e), nullptr);
    EXPECT_TRUE(tree.BeginDrag(e));
    tree.EndDrag(p);
    EXPECT_EQ(tree.DragsStarted(), 0);
    EXPECT_EQ(p->childCount(), 1);  // and no in-tree move either

    CSourceTree source;
    auto* sp = new QTreeWidgetItem(&source, {"P"});
    auto* se = new QTreeWidgetItem(sp, {"exam.ekg"});
    EXPECT_FALSE(source.BeginDrag(sp));  // has children
    EXPECT_TRUE(source.BeginDrag(se));
    EXPECT_EQ(source.DragsStarted(), 1);
    EXPECT_EQ(source.m_last, "exam.ekg");
    EXPECT_FALSE(source.IsDragging());
}

TEST(ExamTree, SpiroDoubleClickSendsTheItemsDataToTheMainWindow) {
    CSpiroExamTreeCtrl tree;
    auto* p = new QTreeWidgetItem(&tree, {"P"});
    auto* withData = new QTreeWidgetItem(p, {"E"});
    auto* noData = new QTreeWidgetItem(p, {"F"});
    CColorTreeCtrl::SetItemData(withData, 0x1234);
    std::vector<std::tuple<UINT, quintptr, quintptr>> sent;
    tree.SetMainWindow([&](UINT m, quintptr w, quintptr l) { sent.emplace_back(m, w, l); });
    tree.OnDoubleClick();  // nothing selected
    tree.setCurrentItem(noData);
    tree.OnDoubleClick();  // data 0
    tree.setCurrentItem(withData);
    tree.OnDoubleClick();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], std::make_tuple(1228u, quintptr(0), quintptr(0x1234)));
}

}  // namespace
