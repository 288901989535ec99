#pragma once

#include <memory>

#include <QMetaType>

#include "imaging/pixelbuffer.h"
#include "imaging/rect.h"
#include "imaging/values.h"

namespace imaging {

class Node;
struct FilterRecipe;

// An immutable image recipe: a shared pointer to the node that produces it. Copying is cheap and
// nothing is computed until a rectangle of it is rendered. Image space has its origin at the
// bottom left with y growing upward.
class Image
{
public:
    Image() = default;
    explicit Image(std::shared_ptr<const Node> node);

    bool isNull() const { return !m_node; }
    // The null image has an empty extent; generators have an infinite one.
    Rect extent() const;

    // The picture mapped through t (the "CIAffineTransform" operation): a point p of this image
    // lands on t(p). A singular transform gives the null image.
    Image transformed(const AffineTransform &t) const;
    // This image restricted to r.
    Image cropped(const Rect &r) const;

    // An equivalent picture at scale s (s < 1 shrinks), built so that rendering it costs about as
    // much as its output size: sources come from a mipmap and filter outputs are rebuilt with
    // their spatial inputs scaled. Used for the on-screen preview; full-resolution work (apply,
    // save, copy) renders the image itself.
    Image scaledForPreview(double s) const;

    // Renders out.rect() of this image into out (transparent for the null image). Single-threaded;
    // the Renderer splits large areas into tiles across threads.
    void render(PixelBuffer &out) const;

    const std::shared_ptr<const Node> &node() const { return m_node; }

    // Set by Filter::outputImage(): the filter name and values the image was made from, so that a
    // preview can rebuild it at another scale.
    void setRecipe(std::shared_ptr<const FilterRecipe> recipe) { m_recipe = std::move(recipe); }
    const std::shared_ptr<const FilterRecipe> &recipe() const { return m_recipe; }

    // Two images are equal when they are the same recipe.
    friend bool operator==(const Image &a, const Image &b) { return a.m_node == b.m_node; }

private:
    std::shared_ptr<const Node> m_node;
    std::shared_ptr<const FilterRecipe> m_recipe;
};

} // namespace imaging

Q_DECLARE_METATYPE(imaging::Image)
