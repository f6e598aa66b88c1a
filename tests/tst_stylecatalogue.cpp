#include <QTest>
class T : public QObject { Q_OBJECT private slots: void t() { QVERIFY(true);} };
QTEST_MAIN(T)
#include "tst_stylecatalogue.moc"
