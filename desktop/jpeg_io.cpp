#include "desktop/jpeg_io.h"

#include "desktop/whole_file.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace {

// libjpeg reports fatal errors through error_exit, which must not return:
// it jumps back to the call that started the work.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (a truncated or slightly damaged file) are not worth a console line.
void quietMessage(j_common_ptr) {}

void installErrors(ErrorManager& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.output_message = quietMessage;
    err.message[0] = '\0';
}

// The decoding itself, kept free of objects with destructors so that a jump
// back from libjpeg skips nothing that needs cleaning up.
bool decode(jpeg_decompress_struct* cinfo, ErrorManager* err, const unsigned char* data,
            unsigned long size, QImage* out) {
    if (setjmp(err->jump))
        return false;
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, data, size);
    jpeg_read_header(cinfo, TRUE);
    // Every colour model libjpeg knows comes out as RGB or grey.
    cinfo->out_color_space = cinfo->num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(cinfo);
    *out =
        QImage(static_cast<int>(cinfo->output_width), static_cast<int>(cinfo->output_height),
               cinfo->output_components == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (out->isNull())
        return false;
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = out->scanLine(static_cast<int>(cinfo->output_scanline));
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

bool encode(jpeg_compress_struct* cinfo, ErrorManager* err, const QImage* rgb,
            unsigned char** buffer, unsigned long* size) {
    if (setjmp(err->jump))
        return false;
    jpeg_create_compress(cinfo);
    jpeg_mem_dest(cinfo, buffer, size);
    cinfo->image_width = static_cast<JDIMENSION>(rgb->width());
    cinfo->image_height = static_cast<JDIMENSION>(rgb->height());
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        // libjpeg only reads the rows it is given.
        JSAMPROW row =
            const_cast<JSAMPROW>(rgb->constScanLine(static_cast<int>(cinfo->next_scanline)));
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

} // namespace

QImage ReadJpeg(const QByteArray& data) {
    if (data.isEmpty())
        return {};
    jpeg_decompress_struct cinfo{};
    ErrorManager err;
    installErrors(err);
    cinfo.err = &err.pub;
    QImage image;
    const bool ok = decode(&cinfo, &err, reinterpret_cast<const unsigned char*>(data.constData()),
                           static_cast<unsigned long>(data.size()), &image);
    jpeg_destroy_decompress(&cinfo);
    return ok ? image : QImage();
}

bool WriteJpeg(const QImage& image, const QString& path, QString* error) {
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (image.isNull())
        return fail(QStringLiteral("There is no picture to save."));
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);

    jpeg_compress_struct cinfo{};
    ErrorManager err;
    installErrors(err);
    cinfo.err = &err.pub;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool ok = encode(&cinfo, &err, &rgb, &buffer, &size);
    jpeg_destroy_compress(&cinfo);
    if (!ok) {
        std::free(buffer);
        return fail(QString::fromLocal8Bit(err.message));
    }
    const QByteArray bytes(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);

    QString why;
    if (!pg5400::WriteWholeFile(path, bytes, why))
        return fail(why);
    return true;
}
