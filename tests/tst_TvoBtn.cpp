#include "AppCore.h"
#include "TvoBtn.h"

#include <QTest>

class TestTvoBtn : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { App::initModules(); }
    void defaults();
};

void TestTvoBtn::defaults()
{
    TTvoBtn b;
    QCOMPARE(b.size(), QSize(40, 33));
}

QTEST_MAIN(TestTvoBtn)
#include "tst_TvoBtn.moc"
