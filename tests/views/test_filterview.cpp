// The filter box: row placement, the colour pairing rule, the border rule and the needed height.
#include "rowtestsupport.h"

#include "views/filterview.h"
#include "views/parameterview.h"

#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

// The row's frame in the box's bottom-left coordinates.
QRect bottomLeftFrame(const FilterView &box, const QWidget *row)
{
    const QRect g = row->geometry();
    return QRect(g.x(), box.height() - g.y() - g.height(), g.width(), g.height());
}

struct Box
{
    explicit Box(int width = 200, int height = 400)
        : filter(allKindsFilter()), box(QRectF(0, 0, width, height))
    {
        box.setFilter(filter);
        box.setMaster(&controller);
        box.tryFilterHeader(filter);
        box.trimBox();
        box.addFilterHeader(filter, 111, true);
    }
    RecordingController controller;
    std::shared_ptr<imaging::Filter> filter;
    FilterView box;
};

} // namespace

TEST(FilterView, ThreeColourRowsPairUpAndTheThirdStartsANewLine)
{
    Box b;
    ParameterView *first = b.box.addColorWellForFilter(b.filter, "inputColor0");
    ParameterView *second = b.box.addColorWellForFilter(b.filter, "inputColor0");
    ParameterView *third = b.box.addColorWellForFilter(b.filter, "inputColor0");
    // w = floor((200 - 20) / 2) = 90; the building pass starts at 400 - 10 = 390.
    EXPECT_EQ(bottomLeftFrame(b.box, first), QRect(2, 364, 90, 26));
    EXPECT_EQ(bottomLeftFrame(b.box, second), QRect(92, 364, 90, 26));
    EXPECT_EQ(bottomLeftFrame(b.box, third), QRect(2, 334, 90, 26));
    EXPECT_EQ(b.box.controlTopPosition(), 330);
    EXPECT_EQ(b.box.lastControlType(), FilterView::Colour);
}

TEST(FilterView, ColourAfterANumberRowStartsInTheLeftColumn)
{
    Box b;
    ParameterView *number = b.box.addSliderForFilter(b.filter, "inputRadius");
    ParameterView *colour = b.box.addColorWellForFilter(b.filter, "inputColor0");
    EXPECT_EQ(bottomLeftFrame(b.box, number), QRect(0, 372, 188, 18));
    EXPECT_EQ(bottomLeftFrame(b.box, colour), QRect(2, 346, 90, 26));
}

TEST(FilterView, RowStepsAndFrames)
{
    Box b;
    const int top = b.box.controlTopPosition();
    ParameterView *flag = b.box.addCheckBoxForFilter(b.filter, "inputFlag");
    ParameterView *transform = b.box.addTransformForFilter(b.filter, "inputTransform");
    ParameterView *image = b.box.addImageWellForFilter(b.filter, "inputImage");
    ParameterView *offset = b.box.addOffsetForFilter(b.filter, "inputOffset");
    EXPECT_EQ(bottomLeftFrame(b.box, flag), QRect(2, top - 16, 190, 16));
    EXPECT_EQ(bottomLeftFrame(b.box, transform), QRect(2, top - 17 - 67, 190, 67));
    EXPECT_EQ(bottomLeftFrame(b.box, image), QRect(2, top - 17 - 68 - 44, 190, 44));
    EXPECT_EQ(bottomLeftFrame(b.box, offset), QRect(2, top - 17 - 68 - 48 - 16, 190, 16));
    EXPECT_EQ(b.box.controlTopPosition(), top - 17 - 68 - 48 - 17);
    EXPECT_EQ(b.box.rows().size(), 4);
}

TEST(FilterView, MeasuringLeavesOnlyTheTrimmedKind)
{
    FilterView box(QRectF(0, 0, 200, 300));
    box.tryFilterHeader(nullptr);
    EXPECT_EQ(box.controlTopPosition(), 254);
    box.tryColorWellForFilter(nullptr, "a");
    box.tryColorWellForFilter(nullptr, "b");
    EXPECT_EQ(box.controlTopPosition(), 224);
    box.trimBox();
    EXPECT_EQ(box.lastControlType(), FilterView::None);
    box.addFilterHeader(nullptr, 0, true);
    EXPECT_EQ(box.controlTopPosition(), 290);
    EXPECT_TRUE(box.rows().isEmpty());
}

TEST(FilterView, BorderOnlyOnceTheFirstRowHoldsControls)
{
    Box empty;
    EXPECT_FALSE(empty.box.drawsBorder());
    Box filled;
    filled.box.addSliderForFilter(filled.filter, "inputRadius");
    EXPECT_TRUE(filled.box.drawsBorder());
}

TEST(FilterView, NeededHeightCoversRowsBelowTheBottomEdge)
{
    Box b(200, 60);
    EXPECT_EQ(b.box.neededHeight(), 60);
    for (int i = 0; i < 5; ++i)
        b.box.addSliderForFilter(b.filter, "inputRadius");
    // Top at 50, five rows of 18: the lowest position is -40, plus a margin of 4.
    EXPECT_EQ(b.box.neededHeight(), 60 + 44);
    // Growing the box keeps the rows at their distance from the top.
    const int firstTop = b.box.rows().first()->geometry().y();
    b.box.resize(200, b.box.neededHeight());
    EXPECT_EQ(b.box.rows().first()->geometry().y(), firstTop);
    EXPECT_GE(b.box.rows().last()->geometry().bottom(), 0);
    EXPECT_LE(b.box.rows().last()->geometry().bottom(), b.box.height());
}

TEST(FilterView, MeasuringAndBuildingMoveAlikeForEveryKind)
{
    using K = FilterView::ControlType;
    const std::pair<K, const char *> kinds[] = {
        {FilterView::Number, "inputRadius"}, {FilterView::Flag, "inputFlag"},           {FilterView::Colour, "inputColor0"},
        {FilterView::ImageWell, "inputImage"}, {FilterView::Transform, "inputTransform"}, {FilterView::VectorRow, "inputVector"},
        {FilterView::Offset, "inputOffset"},  {FilterView::None, "inputCenter"}};
    for (const auto &[kind, key] : kinds) {
        Box measured, built;
        const int top = built.box.controlTopPosition();
        measured.box.tryRow(kind);
        ParameterView *row = built.box.addRow(kind, built.filter, key);
        EXPECT_EQ(measured.box.controlTopPosition(), built.box.controlTopPosition()) << key;
        EXPECT_EQ(measured.box.lastControlType(), built.box.lastControlType()) << key;
        EXPECT_EQ(row != nullptr, kind != FilterView::None) << key;
        if (kind == FilterView::None) {
            EXPECT_EQ(built.box.controlTopPosition(), top);
            EXPECT_TRUE(built.box.rows().isEmpty());
        } else {
            EXPECT_LT(built.box.controlTopPosition(), top) << key;
            EXPECT_EQ(row->key(), key);
        }
    }
}

TEST(FilterView, NumberRowsStartAtTheEdgeAndVectorRowsAtTheMargin)
{
    Box b;
    const int top = b.box.controlTopPosition();
    ParameterView *number = b.box.addRow(FilterView::Number, b.filter, "inputRadius");
    ParameterView *vector = b.box.addRow(FilterView::VectorRow, b.filter, "inputVector");
    EXPECT_EQ(bottomLeftFrame(b.box, number), QRect(0, top - 18, 188, 18));
    EXPECT_EQ(bottomLeftFrame(b.box, vector), QRect(2, top - 18 - 16, 190, 16));
    EXPECT_EQ(b.box.controlTopPosition(), top - 18 - 17);
    EXPECT_EQ(b.box.lastControlType(), FilterView::VectorRow);
    ASSERT_TRUE(number->slider());
    EXPECT_EQ(vector->readoutField(3)->text(), "4.000");
}
