// Paints the main dialog's icons at build time and writes them as a C++ source of icon
// resources: the three tool buttons in their four states, the wastebaskets, the padlock and the
// page arrows of the swatch strip.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

// Glyph colours: resting, under the mouse, pressed, pressed under the mouse.
const QColor kInk[4] = {QColor(0x3a, 0x3d, 0x42), QColor(0x1f, 0x5f, 0xbf),
                        QColor(0x11, 0x13, 0x16), QColor(0x17, 0x4a, 0x99)};

using Glyph = std::function<void(QPainter&, QColor)>;

void Eyedropper(QPainter& p, QColor ink) {
    p.translate(2.5, 16.5);
    p.rotate(-45);
    QPainterPath body;
    body.moveTo(0, 0);
    body.lineTo(3, -1.8);
    body.lineTo(12, -1.8);
    body.lineTo(12, 1.8);
    body.lineTo(3, 1.8);
    body.closeSubpath();
    p.setPen(QPen(ink, 1.1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRoundedRect(QRectF(12, -3.2, 8, 6.4), 2.2, 2.2);
    p.drawRect(QRectF(10.5, -3.6, 1.6, 7.2));
}

void Hand(QPainter& p, QColor ink) {
    p.setPen(QPen(ink, 1.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath hand;
    hand.moveTo(5.5, 10);
    for (const double x : {5.5, 8.0, 10.5, 13.0}) {
        const double top = x == 8.0 || x == 10.5 ? 2.5 : 4.0;
        hand.moveTo(x, 10);
        hand.lineTo(x, top);
        hand.arcTo(QRectF(x, top - 1.2, 2.5, 2.4), 180, -180);
        hand.lineTo(x + 2.5, 10);
    }
    p.drawPath(hand);
    QPainterPath palm;
    palm.moveTo(5.5, 9);
    palm.lineTo(3.5, 7.5);
    palm.cubicTo(2, 6.8, 1.2, 8.5, 2.5, 10);
    palm.lineTo(6, 15.5);
    palm.lineTo(14, 15.5);
    palm.lineTo(15.5, 10);
    p.drawPath(palm);
}

void Zoom(QPainter& p, QColor ink) {
    p.setPen(QPen(ink, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(8, 7.5), 5.2, 5.2);
    p.setPen(QPen(ink, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, 11.5), QPointF(16.5, 16));
    p.setPen(QPen(ink, 1.3));
    p.drawLine(QPointF(5.5, 7.5), QPointF(10.5, 7.5));
    p.drawLine(QPointF(8, 5), QPointF(8, 10));
}

void Wastebasket(QPainter& p, QColor body, QColor lid) {
    p.setPen(Qt::NoPen);
    p.setBrush(lid);
    p.drawRoundedRect(QRectF(2, 2.5, 12, 2), 0.8, 0.8);
    p.drawRect(QRectF(6, 1, 4, 2));
    QPainterPath bin;
    bin.moveTo(3.5, 5.5);
    bin.lineTo(12.5, 5.5);
    bin.lineTo(11.5, 15);
    bin.lineTo(4.5, 15);
    bin.closeSubpath();
    p.setBrush(body);
    p.drawPath(bin);
    p.setPen(QPen(QColor(255, 255, 255, 170), 0.9));
    for (const double x : {6.2, 8.0, 9.8})
        p.drawLine(QPointF(x, 7.5), QPointF(x, 13.5));
}

void Padlock(QPainter& p) {
    const QColor ink(0x4a, 0x4e, 0x55);
    p.setPen(QPen(ink, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(3.5, 1, 7, 8), 0, 180 * 16);
    p.drawLine(QPointF(3.5, 5), QPointF(3.5, 6.5));
    p.drawLine(QPointF(10.5, 5), QPointF(10.5, 6.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd9, 0xa4, 0x2c));
    p.drawRoundedRect(QRectF(1.5, 6, 11, 7.5), 1.2, 1.2);
    p.setBrush(ink);
    p.drawEllipse(QPointF(7, 9.2), 1.2, 1.2);
}

void Arrow(QPainter& p, bool right, bool highlighted) {
    const QColor ink = highlighted ? kInk[1] : kInk[0];
    QPainterPath arrow;
    arrow.moveTo(4, 7);
    arrow.lineTo(11, 1.5);
    arrow.lineTo(11, 4.5);
    arrow.lineTo(20, 4.5);
    arrow.lineTo(20, 9.5);
    arrow.lineTo(11, 9.5);
    arrow.lineTo(11, 12.5);
    arrow.closeSubpath();
    if (right) {
        p.translate(24, 0);
        p.scale(-1, 1);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPath(arrow);
}

struct Icon {
    int id;
    int width, height;
    std::function<void(QPainter&)> paint;
};

std::vector<Icon> Icons() {
    std::vector<Icon> icons;
    const std::pair<int, Glyph> kTools[] = {{39, &Eyedropper}, {31, &Hand}, {35, &Zoom}};
    for (const auto& [first, glyph] : kTools)
        for (int state = 0; state < 4; ++state)
            icons.push_back({first + state, 19, 18,
                             [glyph = glyph, state](QPainter& p) { glyph(p, kInk[state]); }});
    icons.push_back({43, 16, 16, [](QPainter& p) {
                         Wastebasket(p, QColor(0x9a, 0x9e, 0xa6), QColor(0x7c, 0x80, 0x88));
                     }});
    icons.push_back({44, 16, 16, [](QPainter& p) {
                         Wastebasket(p, QColor(0xd6, 0x45, 0x3d), QColor(0xa8, 0x32, 0x2b));
                     }});
    icons.push_back({46, 14, 14, &Padlock});
    icons.push_back({50, 24, 14, [](QPainter& p) { Arrow(p, false, false); }});
    icons.push_back({51, 24, 14, [](QPainter& p) { Arrow(p, false, true); }});
    icons.push_back({52, 24, 14, [](QPainter& p) { Arrow(p, true, false); }});
    icons.push_back({53, 24, 14, [](QPainter& p) { Arrow(p, true, true); }});
    return icons;
}

// Bitmap resource bytes: header, then red, green, blue, alpha rows from the top.
std::vector<uint8_t> Resource(const Icon& icon) {
    QImage image(icon.width, icon.height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        icon.paint(p);
    }
    std::vector<uint8_t> bytes = {'Q', 'B', 'M', 'P', uint8_t(icon.width), 0, uint8_t(icon.height),
                                  0,   32,  0};
    for (int y = 0; y < icon.height; ++y)
        for (int x = 0; x < icon.width; ++x) {
            const QRgb c = image.pixel(x, y);
            bytes.insert(bytes.end(), {uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c)),
                                       uint8_t(qAlpha(c))});
        }
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_dialog_icons OUT.cpp\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out,
                 "// Generated by make_dialog_icons.\n#include \"resources/DialogResources.h\"\n\n"
                 "namespace quillon::resources {\nnamespace {\n\n");
    const std::vector<Icon> icons = Icons();
    for (const Icon& icon : icons) {
        std::fprintf(out, "const uint8_t kIcon%d[] = {", icon.id);
        const std::vector<uint8_t> bytes = Resource(icon);
        for (size_t i = 0; i < bytes.size(); ++i)
            std::fprintf(out, "%s%u,", i % 24 == 0 ? "\n    " : "", unsigned(bytes[i]));
        std::fprintf(out, "\n};\n\n");
    }
    std::fprintf(out, "const IconResource kIcons[] = {\n");
    for (const Icon& icon : icons)
        std::fprintf(out, "    {%d, kIcon%d},\n", icon.id, icon.id);
    std::fprintf(out, "};\n\n} // namespace\n\nstd::span<const IconResource> DialogIcons() { "
                      "return kIcons; }\n\n} // namespace quillon::resources\n");
    return std::fclose(out) == 0 ? 0 : 1;
}
