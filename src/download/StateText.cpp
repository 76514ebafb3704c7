#include "download/StateText.h"

#include "core/Subscript.h"
#include "platform/Http.h"
#include "ui/FrmUpdate.h"

namespace norq {

const wchar_t* StateText(std::int16_t state) {
  switch (state) {
    case icResolvingHost: return L"正在查询所指定的主机的   IP   地址";
    case icHostResolved: return L"成功地找到所指定的主机的   IP   地址";
    case icConnecting: return L"正在与主机连接";
    case icConnected: return L"已与主机连接成功";
    case icRequesting: return L"正在向主机发送请求";
    case icRequestSent: return L"发送请求已成功";
    case icReceivingResponse: return L"在接收主机的响应";
    case icDisconnecting: return L"正在解除与主机的连接";
    case icDisconnected: return L"已成功地与主机解除了连接";
    case icError: return L"与主机通讯时出现了错误";
    default: return nullptr;
  }
}

void FrmUpdate::Inet1_StateChanged(std::int16_t state) {
  if (state == icResponseReceived) {
    ui_.SetCaption(ControlId::Label_http_state, kDownloadingPrefix + ElementAt(NameArr, CurIndex));
  } else if (state == icResponseCompleted) {
    CompleteDownload();
  } else if (const wchar_t* text = StateText(state)) {
    if (state == icError) {
      sys_.Log(L"download failed: " + TransferText(ElementAt(UrlArr, CurIndex), inet1_.LastTransfer()));
    }
    ui_.SetCaption(ControlId::Label_http_state, text);
  }
}

}  // namespace norq
