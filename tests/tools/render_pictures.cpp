// Writes the program's resource files (see ResourceFiles: the application icon
// and one 32-bit BMP per button picture) into RES_DIR, which is app/res for the
// committed ones; with PREVIEW_DIR also every picture as a PAM file (RGBA,
// viewable and convertible with ImageMagick).
//
//   render_pictures RES_DIR [PREVIEW_DIR]
#include "tests/tools/pictures.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

bool WritePam(const std::string& path, const tarvenix::Image& image) {
    std::ofstream out(path, std::ios::binary);
    out << "P7\nWIDTH " << image.width << "\nHEIGHT " << image.height
        << "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    for (const std::uint32_t px : image.pixels) {
        const char rgba[4] = {static_cast<char>(px >> 16), static_cast<char>(px >> 8), static_cast<char>(px),
                              static_cast<char>(px >> 24)};
        out.write(rgba, 4);
    }
    return static_cast<bool>(out);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: render_pictures RES_DIR [PREVIEW_DIR]\n");
        return 2;
    }
    bool ok = true;
    const std::string res_dir = argv[1];
    for (const tarvenix::ResourceFile& file : tarvenix::ResourceFiles()) {
        if (!WriteFile(res_dir + "/" + file.name, file.bytes)) {
            std::fprintf(stderr, "render_pictures: cannot write %s/%s\n", res_dir.c_str(), file.name.c_str());
            ok = false;
        }
    }
    if (argc == 3) {
        const std::string dir = argv[2];
        const struct {
            const char* name;
            tarvenix::Image image;
        } pictures[] = {
            {"app_icon", tarvenix::DrawAppIcon()},        {"txt", tarvenix::DrawTxtButtonPicture()},
            {"ldap", tarvenix::DrawLdapButtonPicture()},  {"refresh", tarvenix::DrawRefreshPicture()},
            {"save", tarvenix::DrawSavePicture()},        {"load", tarvenix::DrawLoadPicture()},
        };
        for (const auto& p : pictures) {
            if (!WritePam(dir + "/" + p.name + ".pam", p.image)) {
                std::fprintf(stderr, "render_pictures: cannot write %s/%s.pam\n", dir.c_str(), p.name);
                ok = false;
            }
        }
    }
    return ok ? 0 : 1;
}
