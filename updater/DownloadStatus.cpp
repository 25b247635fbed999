#include "updater/DownloadStatus.h"

namespace vx {

const char* DownloadStatusText(int status)
{
    switch (status) {
    case DS_CREATE_FILE:
        return "创建本地临时下载文件失败";
    case DS_SEEK_FILE:
        return "设置本地临时下载文件位置失败";
    case DS_WRITE_FILE:
        return "写入本地临时下载文件失败";
    case DS_RECV_BODY:
        return "下载失败";
    case DS_PARSE_URL:
        return "解析下载链接失败";
    case DS_RESOLVE:
        return "解析下载请求域名失败";
    case DS_CONNECT:
        return "建立网络连接失败";
    case DS_SEND:
        return "发送下载请求失败";
    case DS_RECV_HEADER:
        return "接收下载响应头失败";
    case DS_HTTP_STATUS:
        return "服务器返回状态非OK";
    case DS_NO_LENGTH:
        return "服务器未返回文件长度";
    case DS_ZERO_LENGTH:
        return "下载文件长度为0";
    case DS_INSTALL:
        return "安装更新失败";
    case DS_INSTALLER_EXIT:
        return "安装程序返回错误";
    case DS_BAD_RANGE:
        return "服务器返回的文件范围无效";
    case DS_INCOMPLETE:
        return "下载文件不完整";
    case DS_TLS:
        return "建立安全连接失败";
    case DS_TLS_UNTRUSTED:
        return "服务器证书验证失败";
    default:
        return "无效错误码";
    }
}

} // namespace vx
