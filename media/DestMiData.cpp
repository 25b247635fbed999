#include "media/DestMiData.h"

#include "app/LogFile.h"
#include "media/ConvertThread.h"
#include "media/RateControl.h"

namespace vx {

int MakeDestMiData(const MiData& src, const _sConvertOptions& options, const std::string& fileIndex,
                   MiData* dst, int type)
{
    if (dst->ucVideoCount > 0) {
        if (src.nWidth <= 0) {
            dst->nWidth = options.unRc[0];
            Log(g_convertLog, "Warning : file_index(%s) v_width is invalid, fill_width=%d ",
                fileIndex.c_str(), dst->nWidth);
        }
        if (src.nHeight <= 0) {
            dst->nHeight = options.unRc[1];
            Log(g_convertLog, "Warning : file_index(%s) v_height is invalid, fill_height=%d ",
                fileIndex.c_str(), dst->nHeight);
        }
        if (dst->nWidth <= 0 || dst->nHeight <= 0)
            return CV_NO_SIZE;
        int newWidth = 0;
        switch (options.nVideoSizeOp) {
        case 2:
            newWidth = 640;
            break;
        case 3:
            newWidth = 1024;
            break;
        case 4:
            newWidth = 1280;
            break;
        case 5:
            newWidth = 1920;
            break;
        default:
            break;
        }
        if (newWidth > 0) {
            dst->nHeight = static_cast<int32_t>(static_cast<int64_t>(dst->nHeight) * newWidth / dst->nWidth);
            dst->nWidth = newWidth;
        }
        dst->nWidth -= dst->nWidth % 4;
        dst->nHeight -= dst->nHeight % 4;
        if (dst->nWidth <= 0 || dst->nHeight <= 0)
            return CV_NO_SIZE; // a picture narrower than 4 pixels cannot be encoded
        if (dst->fFrameRate <= 0)
            dst->fFrameRate = 25;
        else if (dst->fFrameRate > 30)
            dst->fFrameRate = 30;
        if (type == 1) {
            int target = TargetVideoBitRate(dst->nWidth);
            int own = dst->nBitRate[MI_VIDEO];
            dst->nBitRate[MI_VIDEO] =
                options.nCodecMod == CODEC_CBR && own > 0 && own < target ? own : target;
        } else if (type == 2) {
            dst->nBitRate[MI_VIDEO] = MiddleVideoBitRate(dst->nWidth);
        }
    }
    if (type == 1 && dst->nChannels > 2)
        dst->nChannels = 2;
    Log(g_convertLog, "Info : MkDestMiData, br=%d, v_br=%d, a_br=%d, size=%dX%d, fps=%f ,dstType=%d end",
        dst->nBitRate[MI_GENERAL], dst->nBitRate[MI_VIDEO], dst->nBitRate[MI_AUDIO], dst->nWidth,
        dst->nHeight, static_cast<double>(dst->fFrameRate), type);
    return 0;
}

} // namespace vx
