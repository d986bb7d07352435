#include "GaloisField.h"
#include "TextbookField.h"

#include <gtest/gtest.h>

using namespace zorvik;

TEST(GaloisField, MultiplyMatchesTheTextbookProductForEveryPair) {
    EXPECT_EQ(GfMultiply(2, 128), 29);
    for (int a = 0; a < 256; ++a) {
        EXPECT_EQ(GfMultiply(0, a), 0);
        EXPECT_EQ(GfMultiply(a, 0), 0);
        for (int b = 0; b < 256; ++b)
            ASSERT_EQ(GfMultiply(a, b), test::TextbookMultiply(a, b)) << a << "*" << b;
    }
}

TEST(GaloisField, InverseOfEveryElementAndOfZero) {
    for (int a = 1; a < 256; ++a) EXPECT_EQ(GfMultiply(a, GfInverse(a)), 1) << a;
    EXPECT_EQ(GfInverse(1), 1);
    EXPECT_EQ(GfInverse(0), 1);
}

TEST(GaloisField, PowerAndLogTablesAreInverse) {
    const FieldTables& tables = BuildFieldTables();
    EXPECT_EQ(&tables, &BuildFieldTables());
    int power = 1;
    for (int i = 0; i < 255; ++i) {
        EXPECT_EQ(tables.PowerTable[i], power) << i;
        EXPECT_EQ(tables.LogTable[power], i) << power;
        power = test::TextbookMultiply(power, 2);
    }
    EXPECT_EQ(tables.PowerTable[255], 1);
    EXPECT_EQ(tables.LogTable[0], 0);
    for (int x = 1; x < 256; ++x) EXPECT_EQ(tables.PowerTable[tables.LogTable[x]], x);
    // Known entries of the QR field.
    EXPECT_EQ(tables.LogTable[3], 25);
    EXPECT_EQ(tables.LogTable[5], 50);
    EXPECT_EQ(tables.LogTable[7], 198);
    EXPECT_EQ(tables.PowerTable[9], 58);
}

TEST(Polynomial, ShiftDropsTheTopCoefficient) {
    Polynomial p{5, 0, 7, 9};
    PolyShift(p);
    EXPECT_EQ(p, (Polynomial{0, 5, 0, 7}));
    PolyShift(p);
    EXPECT_EQ(p, (Polynomial{0, 0, 5, 0}));

    Polynomial copy(4, 1);
    PolyCopy(copy, p);
    EXPECT_EQ(copy, p);
    PolyClear(copy);
    EXPECT_EQ(copy, Polynomial(4, 0));
}
