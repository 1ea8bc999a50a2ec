// labyrinth-render-icons FOLDER: writes the program's icon for installing,
// labyrinth-writer.svg and labyrinth-writer-N.png for every installed size,
// from the very drawing the window uses. Runs at build time.

#include <QString>
#include <cstdio>
#include <fstream>

#include "icon/labyrinth_icon.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: labyrinth-render-icons FOLDER\n");
        return 2;
    }
    // Shapes painted into images need no application object and no display.
    const std::string folder = argv[1];

    std::ofstream svg(folder + "/labyrinth-writer.svg", std::ios::binary | std::ios::trunc);
    svg << labyrinth::icon::svg();
    svg.close();
    if (!svg) {
        std::fprintf(stderr, "labyrinth-render-icons: %s/labyrinth-writer.svg: cannot write\n", folder.c_str());
        return 1;
    }
    for (const int size : labyrinth::icon::installedSizes) {
        const QString name = QString::fromStdString(folder) + QStringLiteral("/labyrinth-writer-%1.png").arg(size);
        if (!labyrinth::icon::image(size).save(name, "PNG")) {
            std::fprintf(stderr, "labyrinth-render-icons: %s: cannot write\n", name.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
