// Writes the program's pictures as PAM files (RGBA, viewable and convertible
// with ImageMagick) and, when asked, the application icon file.
//
//   render_pictures OUT_DIR [ICO_PATH]
#include "base/pictures.h"

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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: render_pictures OUT_DIR [ICO_PATH]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const struct {
        const char* name;
        tarvenix::Image image;
    } pictures[] = {
        {"app_icon", tarvenix::DrawAppIcon()},        {"txt", tarvenix::DrawTxtButtonPicture()},
        {"ldap", tarvenix::DrawLdapButtonPicture()},  {"refresh", tarvenix::DrawRefreshPicture()},
        {"save", tarvenix::DrawSavePicture()},        {"load", tarvenix::DrawLoadPicture()},
    };
    bool ok = true;
    for (const auto& p : pictures) ok = WritePam(dir + "/" + p.name + ".pam", p.image) && ok;
    if (argc >= 3) {
        const std::string ico = tarvenix::EncodeIco(tarvenix::DrawAppIcon());
        std::ofstream out(argv[2], std::ios::binary);
        out.write(ico.data(), static_cast<std::streamsize>(ico.size()));
        ok = static_cast<bool>(out) && ok;
    }
    if (!ok) std::fprintf(stderr, "render_pictures: a file could not be written\n");
    return ok ? 0 : 1;
}
