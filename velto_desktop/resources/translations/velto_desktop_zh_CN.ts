<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AVCheckWidget</name>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Micphone</source>
        <translation>麦克风</translation>
    </message>
    <message>
        <source>Playout</source>
        <translation>扬声器</translation>
    </message>
    <message>
        <source>Camera</source>
        <translation>摄像头</translation>
    </message>
</context>
<context>
    <name>AddContactsWidget</name>
    <message>
        <source>Add Contacts</source>
        <translation>添加联系人</translation>
    </message>
    <message>
        <source>Please input username or email address</source>
        <translation>请输入用户名或邮箱地址</translation>
    </message>
    <message>
        <source>Remarks Name</source>
        <translation>备注名</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>添加</translation>
    </message>
    <message>
        <source>Optional</source>
        <translation>可选</translation>
    </message>
</context>
<context>
    <name>CallWidget</name>
    <message>
        <source>Calling:</source>
        <translation>正在呼叫：</translation>
    </message>
</context>
<context>
    <name>ContactItem</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
</context>
<context>
    <name>DetailReservationWidget</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>Meet Details</source>
        <translation>会议详情</translation>
    </message>
    <message>
        <source>Meet Title :</source>
        <translation>会议主题：</translation>
    </message>
    <message>
        <source>Meet ID :</source>
        <translation>会议号：</translation>
    </message>
    <message>
        <source>Meet Time :</source>
        <translation>会议时间：</translation>
    </message>
    <message>
        <source> Meet Duration :</source>
        <translation> 会议时长：</translation>
    </message>
    <message>
        <source>Meet Password :</source>
        <translation>会议密码：</translation>
    </message>
    <message>
        <source>Moderator Password:</source>
        <translation>主持人密码：</translation>
    </message>
    <message>
        <source>Start Meeting</source>
        <translation>开始会议</translation>
    </message>
    <message>
        <source>Edit Meeting</source>
        <translation>编辑会议</translation>
    </message>
    <message>
        <source>Share Meeting Link</source>
        <translation>分享会议链接</translation>
    </message>
    <message>
        <source>Delete Meeting</source>
        <translation>删除会议</translation>
    </message>
    <message>
        <source>repeat every day</source>
        <translation>每天重复</translation>
    </message>
    <message>
        <source>repeat every week</source>
        <translation>每周重复</translation>
    </message>
    <message>
        <source>repeat every month</source>
        <translation>每月重复</translation>
    </message>
    <message>
        <source>Shared links has been copied to the clipboard</source>
        <translation>分享链接已复制到剪切板</translation>
    </message>
    <message>
        <source>Whether to delete this conference?</source>
        <translation>是否删除该会议？</translation>
    </message>
</context>
<context>
    <name>DetailWidget</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>Meet Details</source>
        <translation>会议详情</translation>
    </message>
    <message>
        <source>Meet Title :</source>
        <translation>会议主题：</translation>
    </message>
    <message>
        <source>Meet ID :</source>
        <translation>会议号：</translation>
    </message>
    <message>
        <source>Meet Time :</source>
        <translation>会议时间：</translation>
    </message>
    <message>
        <source> Meet Duration :</source>
        <translation> 会议时长：</translation>
    </message>
    <message>
        <source>Meet Password :</source>
        <translation>会议密码：</translation>
    </message>
    <message>
        <source>Moderator :</source>
        <translation>主持人：</translation>
    </message>
    <message>
        <source>Start Meeting</source>
        <translation>开始会议</translation>
    </message>
    <message>
        <source>Moderator Password:</source>
        <translation>主持人密码：</translation>
    </message>
    <message>
        <source>Meet Type:</source>
        <translation>会议类型：</translation>
    </message>
    <message>
        <source>Fixed Meeting</source>
        <translation>固定会议</translation>
    </message>
</context>
<context>
    <name>DumpWidget</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Program crashed</source>
        <translation>程序崩溃</translation>
    </message>
    <message>
        <source>I would like to express my sincere apologies for the mistakes.
</source>
        <translation>程序出现错误，我们深表歉意。
</translation>
    </message>
    <message>
        <source>errorCode</source>
        <translation>错误代码</translation>
    </message>
    <message>
        <source>errorAddr</source>
        <translation>错误地址</translation>
    </message>
</context>
<context>
    <name>HandsUpItem</name>
    <message>
        <source>Accept</source>
        <translation>同意</translation>
    </message>
    <message>
        <source>Refuse</source>
        <translation>拒绝</translation>
    </message>
    <message>
        <source>Ignore</source>
        <translation>忽略</translation>
    </message>
</context>
<context>
    <name>JoinMeetWidget</name>
    <message>
        <source>Join Conference</source>
        <translation>加入会议</translation>
    </message>
    <message>
        <source>Join</source>
        <translation>加入会议</translation>
    </message>
    <message>
        <source>Please input meet number</source>
        <translation>请输入会议号</translation>
    </message>
    <message>
        <source>Please input meet password(Optional)</source>
        <translation>请输入会议密码（选填）</translation>
    </message>
</context>
<context>
    <name>LoginWidget</name>
    <message>
        <source>BRENMORAL</source>
        <translation>BRENMORAL</translation>
    </message>
    <message>
        <source>Join</source>
        <translation>加入会议</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>登录</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>版本：</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <source>Use the current name at a later meeting</source>
        <translation>在以后的会议中使用当前名字</translation>
    </message>
    <message>
        <source>Automatic logon</source>
        <translation>自动登录</translation>
    </message>
    <message>
        <source>Please enter the room number</source>
        <translation>请输入会议号</translation>
    </message>
    <message>
        <source>Please enter the password</source>
        <translation>请输入密码</translation>
    </message>
    <message>
        <source>Please enter your name</source>
        <translation>请输入您的姓名</translation>
    </message>
    <message>
        <source>Please enter the username</source>
        <translation>请输入用户名</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>MainWindow</source>
        <translation>主窗口</translation>
    </message>
    <message>
        <source>Meeting</source>
        <translation>会议</translation>
    </message>
    <message>
        <source>Personal Meeting ID :</source>
        <translation>个人会议号：</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>复制</translation>
    </message>
    <message>
        <source>Reservation Meetings</source>
        <translation>预约的会议</translation>
    </message>
    <message>
        <source>Recents</source>
        <translation>最近通话</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清空</translation>
    </message>
    <message>
        <source>Instant Meeting</source>
        <translation>即时会议</translation>
    </message>
    <message>
        <source>Join Meeting</source>
        <translation>加入会议</translation>
    </message>
    <message>
        <source>Reservation Meeting</source>
        <translation>预约会议</translation>
    </message>
    <message>
        <source>Home</source>
        <translation>首页</translation>
    </message>
    <message>
        <source>Meet</source>
        <translation>会议</translation>
    </message>
    <message>
        <source>Reservation</source>
        <translation>预约</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>联系人</translation>
    </message>
    <message>
        <source>Window</source>
        <translation>窗口</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>最小化</translation>
    </message>
    <message>
        <source>Ctrl+M</source>
        <translation>Ctrl+M</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <source>Website</source>
        <translation>访问官网</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>个人信息</translation>
    </message>
    <message>
        <source>Preference</source>
        <translation>偏好设置</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>检查更新</translation>
    </message>
    <message>
        <source>Logout</source>
        <translation>退出登录</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Velto</source>
        <translation>Velto</translation>
    </message>
    <message>
        <source>add a new contact</source>
        <translation>添加联系人</translation>
    </message>
    <message>
        <source>Clear all recent calls?</source>
        <translation>是否清空全部最近通话？</translation>
    </message>
    <message>
        <source>Runing</source>
        <translation>正在进行</translation>
    </message>
    <message>
        <source>Shared links has been copied to the clipboard</source>
        <translation>分享链接已复制到剪切板</translation>
    </message>
</context>
<context>
    <name>MeetItem</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>Meeting&apos;s ID :</source>
        <translation>会议号：</translation>
    </message>
</context>
<context>
    <name>MeetSetWidget</name>
    <message>
        <source>Personal conference setting</source>
        <translation>个人会议设置</translation>
    </message>
    <message>
        <source>Meet ID :</source>
        <translation>会议号：</translation>
    </message>
    <message>
        <source>Meet Password :</source>
        <translation>会议密码：</translation>
    </message>
    <message>
        <source>Moderator Password :</source>
        <translation>主持人密码：</translation>
    </message>
    <message>
        <source>Random</source>
        <translation>随机</translation>
    </message>
    <message>
        <source>Commit</source>
        <translation>提交</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Please input 4-8 digit password</source>
        <translation>请输入4-8位数字密码</translation>
    </message>
    <message>
        <source>Random Generation</source>
        <translation>随机生成</translation>
    </message>
</context>
<context>
    <name>MessageBox</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>TextLabel</source>
        <translation>文本</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>提示</translation>
    </message>
</context>
<context>
    <name>PreferencesWidget</name>
    <message>
        <source>Automatic logon</source>
        <translation>自动登录</translation>
    </message>
    <message>
        <source>Micphone</source>
        <translation>麦克风</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>偏好设置</translation>
    </message>
    <message>
        <source>General</source>
        <translation>常规</translation>
    </message>
    <message>
        <source>Audio</source>
        <translation>音频</translation>
    </message>
    <message>
        <source>Video</source>
        <translation>视频</translation>
    </message>
    <message>
        <source>Recording</source>
        <translation>录制</translation>
    </message>
    <message>
        <source>Auto start at the start of the computer</source>
        <translation>开机时自动启动</translation>
    </message>
    <message>
        <source>Automatically enter full screen mode when you start or join the meeting</source>
        <translation>发起或加入会议时自动进入全屏模式</translation>
    </message>
    <message>
        <source>Automatic mute when joining the meeting</source>
        <translation>加入会议时自动静音</translation>
    </message>
    <message>
        <source>Close the camera when joining the meeting</source>
        <translation>加入会议时关闭摄像头</translation>
    </message>
    <message>
        <source>Display the offline contacts</source>
        <translation>显示离线联系人</translation>
    </message>
    <message>
        <source>Speaker</source>
        <translation>扬声器</translation>
    </message>
    <message>
        <source>Test Speaker</source>
        <translation>测试扬声器</translation>
    </message>
    <message>
        <source>Output Level :</source>
        <translation>输出级别：</translation>
    </message>
    <message>
        <source>Output Volume :</source>
        <translation>输出音量：</translation>
    </message>
    <message>
        <source>Please speak to your microphone.If you can&apos;t hear yout voice,select a different microphone.  </source>
        <translation>请对着麦克风讲话。如果听不到自己的声音，请选择其他麦克风。</translation>
    </message>
    <message>
        <source>Test Micphone</source>
        <translation>测试麦克风</translation>
    </message>
    <message>
        <source>Input Level :</source>
        <translation>输入级别：</translation>
    </message>
    <message>
        <source>Input Volume :</source>
        <translation>输入音量：</translation>
    </message>
    <message>
        <source>Automatically adjust microphone</source>
        <translation>自动调节麦克风</translation>
    </message>
    <message>
        <source>Camera : </source>
        <translation>摄像头：</translation>
    </message>
    <message>
        <source>Video input device is occupied</source>
        <translation>视频输入设备已被占用</translation>
    </message>
    <message>
        <source>Stop Test</source>
        <translation>停止测试</translation>
    </message>
</context>
<context>
    <name>ProfileWidget</name>
    <message>
        <source>Profile</source>
        <translation>个人信息</translation>
    </message>
    <message>
        <source>UserName</source>
        <translation>用户名</translation>
    </message>
    <message>
        <source>Telphone</source>
        <translation>电话</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
</context>
<context>
    <name>QBaseContactsWidget</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>联系人</translation>
    </message>
</context>
<context>
    <name>QBaseSearchLineEdit</name>
    <message>
        <source>contacts search</source>
        <translation>搜索联系人</translation>
    </message>
</context>
<context>
    <name>QCallSipWidget</name>
    <message>
        <source>CallSip</source>
        <translation>SIP呼叫</translation>
    </message>
    <message>
        <source>Please input the sip number</source>
        <translation>请输入SIP号码</translation>
    </message>
    <message>
        <source>Dial the fixed number, please add area code</source>
        <translation>拨打固定电话请加区号</translation>
    </message>
    <message>
        <source>e.g. 01012345678</source>
        <translation>例如：01012345678</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>CallPhone</source>
        <translation>电话呼叫</translation>
    </message>
    <message>
        <source>Please input the phone number</source>
        <translation>请输入电话号码</translation>
    </message>
</context>
<context>
    <name>QConferenceDelayWidget</name>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Delay</source>
        <translation>延长</translation>
    </message>
    <message>
        <source>Conference Delay</source>
        <translation>会议延时</translation>
    </message>
    <message>
        <source>The conference room will be closed in 15 minutes</source>
        <translation>会议室将在15分钟后关闭</translation>
    </message>
    <message>
        <source>The conference room will be closed in 10 minutes</source>
        <translation>会议室将在10分钟后关闭</translation>
    </message>
    <message>
        <source>The conference room will be closed in 5 minutes</source>
        <translation>会议室将在5分钟后关闭</translation>
    </message>
    <message>
        <source>whether to delay conference time(minute)</source>
        <translation>是否延长会议时间（分钟）</translation>
    </message>
</context>
<context>
    <name>QConferenceInfoWidget</name>
    <message>
        <source>Participation Information</source>
        <translation>参会信息</translation>
    </message>
    <message>
        <source>Basic information</source>
        <translation>基本信息</translation>
    </message>
    <message>
        <source>Meet ID:</source>
        <translation>会议号：</translation>
    </message>
    <message>
        <source>Meet Type:</source>
        <translation>会议类型：</translation>
    </message>
    <message>
        <source>UserName:</source>
        <translation>用户名：</translation>
    </message>
    <message>
        <source>Role:</source>
        <translation>角色：</translation>
    </message>
    <message>
        <source>List of participants</source>
        <translation>参会者列表</translation>
    </message>
</context>
<context>
    <name>QGetModeratorWidget</name>
    <message>
        <source>GetModerator</source>
        <translation>申请主持人</translation>
    </message>
    <message>
        <source>Please input moderator password</source>
        <translation>请输入主持人密码</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>QHandsUpWidget</name>
    <message>
        <source>HandsUp</source>
        <translation>举手</translation>
    </message>
</context>
<context>
    <name>QLayoutManagerWidget</name>
    <message>
        <source>LayoutManager</source>
        <translation>布局管理</translation>
    </message>
    <message>
        <source>Surround</source>
        <translation>环绕</translation>
    </message>
    <message>
        <source>Tiles</source>
        <translation>平铺</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>masterScreen</source>
        <translation>主屏</translation>
    </message>
</context>
<context>
    <name>QNoticeWidget</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>new participant comes into conference</source>
        <translation>有参会者进入会议室</translation>
    </message>
    <message>
        <source>participant leaves from conference</source>
        <translation>有参会者离开会议室</translation>
    </message>
    <message>
        <source>update master screen success</source>
        <translation>更新主屏成功</translation>
    </message>
    <message>
        <source>You are moderator now</source>
        <translation>您已被设置为主持人</translation>
    </message>
    <message>
        <source>grant moderator success</source>
        <translation>授权主持人成功</translation>
    </message>
    <message>
        <source>lock conference success</source>
        <translation>锁定会议室成功</translation>
    </message>
    <message>
        <source>unlock conference success</source>
        <translation>取消锁定会议室成功</translation>
    </message>
    <message>
        <source>kick out participant success</source>
        <translation>踢出会议室成功</translation>
    </message>
    <message>
        <source>Lost morderator,conference will be close in 5 mins</source>
        <translation>主持人离开会议室，会议室将在5分钟后关闭</translation>
    </message>
    <message>
        <source>mute conference audio</source>
        <translation>会议室禁音</translation>
    </message>
    <message>
        <source>unmute conference audio</source>
        <translation>取消会议室禁音</translation>
    </message>
    <message>
        <source>mute conference video</source>
        <translation>会议室禁视频</translation>
    </message>
    <message>
        <source>unmute conference video</source>
        <translation>取消会议室禁视频</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>提示</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>admin</source>
        <translation>管理员</translation>
    </message>
    <message>
        <source>Request timeout</source>
        <translation>请求超时，请检查网络或参数设置</translation>
    </message>
    <message>
        <source>ID is null</source>
        <translation>ID为空</translation>
    </message>
    <message>
        <source>JID is null</source>
        <translation>JID为空</translation>
    </message>
    <message>
        <source>JID is illegal</source>
        <translation>JID不合法</translation>
    </message>
    <message>
        <source>Authorized user JID is null</source>
        <translation>授权用户JID为空</translation>
    </message>
    <message>
        <source>Authorized user JID is illegal</source>
        <translation>授权用户JID不合法</translation>
    </message>
    <message>
        <source>Username is null</source>
        <translation>用户名为空</translation>
    </message>
    <message>
        <source>Passeord is null</source>
        <translation>密码为空</translation>
    </message>
    <message>
        <source>Nickname is null</source>
        <translation>昵称为空</translation>
    </message>
    <message>
        <source>Endpoint is null</source>
        <translation>终端标识为空</translation>
    </message>
    <message>
        <source>Client type is null</source>
        <translation>客户端类型为空</translation>
    </message>
    <message>
        <source>Domain is null</source>
        <translation>域名为空</translation>
    </message>
    <message>
        <source>Conference ID is null</source>
        <translation>会议ID为空</translation>
    </message>
    <message>
        <source>Conference number is null</source>
        <translation>会议号为空</translation>
    </message>
    <message>
        <source>Moderator password is null</source>
        <translation>主持人密码为空</translation>
    </message>
    <message>
        <source>Conference password is null</source>
        <translation>会议密码为空</translation>
    </message>
    <message>
        <source>Lock type is null</source>
        <translation>锁定类型为空</translation>
    </message>
    <message>
        <source>Lock type is illegal</source>
        <translation>锁定类型不合法</translation>
    </message>
    <message>
        <source>timestamp is illegal</source>
        <translation>时间戳不合法</translation>
    </message>
    <message>
        <source>Recorder server is null</source>
        <translation>录制服务器为空</translation>
    </message>
    <message>
        <source>Recorder rule is null</source>
        <translation>录制规则为空</translation>
    </message>
    <message>
        <source>Recorder JID is null</source>
        <translation>录制JID为空</translation>
    </message>
    <message>
        <source>Recorder resource ID is null</source>
        <translation>录制资源ID为空</translation>
    </message>
    <message>
        <source>Extend time is illegal,less than 60 minutes</source>
        <translation>延长时间不合法，应少于60分钟</translation>
    </message>
    <message>
        <source>Count is null</source>
        <translation>数量为空</translation>
    </message>
    <message>
        <source>Count must be a number</source>
        <translation>数量必须为数字</translation>
    </message>
    <message>
        <source>Page must be a number</source>
        <translation>页码必须为数字</translation>
    </message>
    <message>
        <source>Page must be less than count</source>
        <translation>页码必须小于数量</translation>
    </message>
    <message>
        <source>Date format is illegal</source>
        <translation>日期格式不合法</translation>
    </message>
    <message>
        <source>Friend ID is null</source>
        <translation>联系人ID为空</translation>
    </message>
    <message>
        <source>Friend nickname is null</source>
        <translation>联系人昵称为空</translation>
    </message>
    <message>
        <source>Max video number is 9</source>
        <translation>视频路数最多为9</translation>
    </message>
    <message>
        <source>video number out of resource</source>
        <translation>视频路数超出资源限制</translation>
    </message>
    <message>
        <source>Conference is not exist</source>
        <translation>会议室不存在</translation>
    </message>
    <message>
        <source>Conference is Locked</source>
        <translation>会议室已锁定</translation>
    </message>
    <message>
        <source>Focus is not found</source>
        <translation>未找到会议控制服务</translation>
    </message>
    <message>
        <source>Videobridget is not found</source>
        <translation>未找到视频桥服务</translation>
    </message>
    <message>
        <source>Conference password error</source>
        <translation>会议密码错误</translation>
    </message>
    <message>
        <source>No available Conference</source>
        <translation>没有可用的会议室</translation>
    </message>
    <message>
        <source>Conference number is illegal</source>
        <translation>会议号不合法</translation>
    </message>
    <message>
        <source>Conference is unopened</source>
        <translation>会议室未开启</translation>
    </message>
    <message>
        <source>User has already in Conference</source>
        <translation>用户已在会议中</translation>
    </message>
    <message>
        <source>The Conference has ended</source>
        <translation>会议已结束</translation>
    </message>
    <message>
        <source>Create or join Conference failure</source>
        <translation>创建或加入会议失败</translation>
    </message>
    <message>
        <source>No available Conference in the reservation time range</source>
        <translation>预约时间段内没有可用的会议室</translation>
    </message>
    <message>
        <source>Conference endtime should be less than current time </source>
        <translation>会议结束时间应早于当前时间</translation>
    </message>
    <message>
        <source>Conference lock status error</source>
        <translation>会议室锁定状态错误</translation>
    </message>
    <message>
        <source> Participants are required</source>
        <translation>需要参会者</translation>
    </message>
    <message>
        <source>Joining conference failed</source>
        <translation>加入会议失败</translation>
    </message>
    <message>
        <source>Not receiving messages of joining conference</source>
        <translation>未收到加入会议的消息</translation>
    </message>
    <message>
        <source>Conference is not in progress</source>
        <translation>会议未在进行中</translation>
    </message>
    <message>
        <source>Conference room attendance limit or concurrent user number upper limit</source>
        <translation>会议室人数已满或并发用户数已达上限</translation>
    </message>
    <message>
        <source>You can enter the meeting 15 minutes before the meeting starts</source>
        <translation>会议开始前15分钟才可进入会议</translation>
    </message>
    <message>
        <source>The conference room is being closed, please wait later</source>
        <translation>会议室正在关闭，请稍后再试</translation>
    </message>
    <message>
        <source>The conference began immediately, can not be modified</source>
        <translation>会议即将开始，不能修改</translation>
    </message>
    <message>
        <source>The conference is not reserved, cannot be modified</source>
        <translation>会议不是预约会议，不能修改</translation>
    </message>
    <message>
        <source>Resource error in conference room</source>
        <translation>会议室资源错误</translation>
    </message>
    <message>
        <source>Request failed</source>
        <translation>请求失败</translation>
    </message>
    <message>
        <source>Recorder is not exist</source>
        <translation>录制不存在</translation>
    </message>
    <message>
        <source>Too less partipants in conferece,record failed</source>
        <translation>会议中参会者太少，录制失败</translation>
    </message>
    <message>
        <source>The upper limit of recorder</source>
        <translation>录制数已达上限</translation>
    </message>
    <message>
        <source>The recorder storage is full</source>
        <translation>录制存储空间已满</translation>
    </message>
    <message>
        <source>Current user is not moderator</source>
        <translation>当前用户不是主持人</translation>
    </message>
    <message>
        <source>Conference has no moderator</source>
        <translation>会议没有主持人</translation>
    </message>
    <message>
        <source>Recorder is closing,please waiting</source>
        <translation>录制正在关闭，请稍候</translation>
    </message>
    <message>
        <source>Recoder rule error</source>
        <translation>录制规则错误</translation>
    </message>
    <message>
        <source>SIP number error</source>
        <translation>SIP号码错误</translation>
    </message>
    <message>
        <source>Recorder has existed</source>
        <translation>录制已存在</translation>
    </message>
    <message>
        <source>Recorder params error</source>
        <translation>录制参数错误</translation>
    </message>
    <message>
        <source>Recorder server is not exist</source>
        <translation>录制服务器不存在</translation>
    </message>
    <message>
        <source>Username or password error</source>
        <translation>用户名或密码错误</translation>
    </message>
    <message>
        <source>User status error</source>
        <translation>用户状态错误</translation>
    </message>
    <message>
        <source>User is not exist</source>
        <translation>用户不存在</translation>
    </message>
    <message>
        <source>Login failed</source>
        <translation>登录失败</translation>
    </message>
    <message>
        <source>User has logout</source>
        <translation>用户已退出登录</translation>
    </message>
    <message>
        <source>User has no authority</source>
        <translation>用户没有权限</translation>
    </message>
    <message>
        <source>User origin password error</source>
        <translation>用户原密码错误</translation>
    </message>
    <message>
        <source>Photo format is not supported</source>
        <translation>不支持该图片格式</translation>
    </message>
    <message>
        <source>Photo is too big</source>
        <translation>图片太大</translation>
    </message>
    <message>
        <source>Initialization of user information failure</source>
        <translation>初始化用户信息失败</translation>
    </message>
    <message>
        <source>Users do not have second stream</source>
        <translation>用户没有辅流</translation>
    </message>
    <message>
        <source>Authorized moderator failed</source>
        <translation>授权主持人失败</translation>
    </message>
    <message>
        <source>Moderator has already exist</source>
        <translation>主持人已存在</translation>
    </message>
    <message>
        <source>Moderator password error</source>
        <translation>主持人密码错误</translation>
    </message>
    <message>
        <source>Moderator is sharing screen</source>
        <translation>主持人正在共享屏幕</translation>
    </message>
    <message>
        <source>Moderator is sharing whiteboard</source>
        <translation>主持人正在共享白板</translation>
    </message>
    <message>
        <source>Conference resource is full</source>
        <translation>会议资源已满</translation>
    </message>
    <message>
        <source>Conference is unavailable</source>
        <translation>会议不可用</translation>
    </message>
    <message>
        <source>Conference is closing,please waiting</source>
        <translation>会议正在关闭，请稍候</translation>
    </message>
    <message>
        <source>This operation will modify the participant&apos;s main audio switch, whether to continue</source>
        <translation>此操作将修改参会者的音频开关，是否继续</translation>
    </message>
    <message>
        <source>This operation will modify the attendees video switch, whether to continue</source>
        <translation>此操作将修改参会者的视频开关，是否继续</translation>
    </message>
    <message>
        <source>This operation will grant the host moderator permission, whether to continue</source>
        <translation>此操作将授予该参会者主持人权限，是否继续</translation>
    </message>
    <message>
        <source>This operation will kick the participant out of the room, whether to continue</source>
        <translation>此操作将把该参会者踢出会议室，是否继续</translation>
    </message>
    <message>
        <source>No permission to cancel after host mute</source>
        <translation>主持人禁音后无权取消</translation>
    </message>
    <message>
        <source>Screen sharing, you can not perform permission transfer operations</source>
        <translation>正在共享屏幕，不能移交主持人权限</translation>
    </message>
    <message>
        <source>Whether to close whiteboard</source>
        <translation>是否关闭白板</translation>
    </message>
    <message>
        <source>Whether to close screen sharing</source>
        <translation>是否关闭屏幕共享</translation>
    </message>
    <message>
        <source>Whether to close record</source>
        <translation>是否关闭录制</translation>
    </message>
    <message>
        <source>Current display mode does not support screen sharing</source>
        <translation>当前显示模式不支持屏幕共享</translation>
    </message>
    <message>
        <source>Can not change display mode when screen sharing</source>
        <translation>屏幕共享时不能切换显示模式</translation>
    </message>
    <message>
        <source>Can not transfer moderator to sip</source>
        <translation>不能将主持人移交给SIP终端</translation>
    </message>
    <message>
        <source>Can not screen share when video muted</source>
        <translation>视频关闭时不能共享屏幕</translation>
    </message>
    <message>
        <source>Can not screen share when share whitebord</source>
        <translation>共享白板时不能共享屏幕</translation>
    </message>
    <message>
        <source>Can not share whitebord when screen sharing</source>
        <translation>共享屏幕时不能共享白板</translation>
    </message>
    <message>
        <source>Network error</source>
        <translation>检测到您的网络异常，请检查后重试</translation>
    </message>
    <message>
        <source>Lost morderator,conference will be close in 5 mins</source>
        <translation>主持人离开会议室，会议室将在5分钟后关闭</translation>
    </message>
    <message>
        <source>Video input device not detected</source>
        <translation>未检测到视频输入设备</translation>
    </message>
    <message>
        <source>Audio input device not detected</source>
        <translation>未检测到音频输入设备</translation>
    </message>
    <message>
        <source>Audio output device not detected</source>
        <translation>未检测到音频输出设备</translation>
    </message>
    <message>
        <source>Video output device not detected,whether to join using single voice</source>
        <translation>未检测到视频输入设备，是否单语音进会</translation>
    </message>
    <message>
        <source>Video output device not detected,whether to join conference</source>
        <translation>未检测到视频输入设备，是否进入会议</translation>
    </message>
    <message>
        <source>Video and audio device not detected</source>
        <translation>未检测到视频和音频设备</translation>
    </message>
    <message>
        <source>Audio device not detected</source>
        <translation>未检测到音频设备</translation>
    </message>
    <message>
        <source>Video input device is occupied</source>
        <translation>视频输入设备已被占用</translation>
    </message>
    <message>
        <source>Call sip error</source>
        <translation>呼叫SIP失败</translation>
    </message>
    <message>
        <source>Call phone number error</source>
        <translation>呼叫电话号码失败</translation>
    </message>
    <message>
        <source>Update failed, Pleace check the network</source>
        <translation>更新失败，请检查网络</translation>
    </message>
    <message>
        <source>Your charge has been used up, please contact the operator. Thank you.</source>
        <translation>您的话费已用完，请联系运营商。谢谢。</translation>
    </message>
    <message>
        <source>Set up successfully, restart and take effect.</source>
        <translation>切换语言成功，重启应用后生效。</translation>
    </message>
    <message>
        <source>Server address is null</source>
        <translation>服务器地址为空</translation>
    </message>
    <message>
        <source>Password is null</source>
        <translation>密码为空</translation>
    </message>
    <message>
        <source>Get contact list error</source>
        <translation>获取联系人列表失败</translation>
    </message>
    <message>
        <source>Moderator kicks you out from conference</source>
        <translation>主持人已将您踢出会议室</translation>
    </message>
    <message>
        <source>No available input devices are found</source>
        <translation>未找到可用的输入设备</translation>
    </message>
    <message>
        <source>The other refused to invite</source>
        <translation>对方拒绝了邀请</translation>
    </message>
    <message>
        <source>The caller has hung up</source>
        <translation>对方已挂断</translation>
    </message>
    <message>
        <source>The call has been processed on other devices</source>
        <translation>该呼叫已在其他设备上处理</translation>
    </message>
    <message>
        <source>The call failed and the other was busy</source>
        <translation>呼叫失败，对方忙</translation>
    </message>
    <message>
        <source>The other side has no response</source>
        <translation>对方无应答</translation>
    </message>
    <message>
        <source>Too less partipants in conferece,share failed</source>
        <translation>会议中参会者太少，共享失败</translation>
    </message>
    <message>
        <source>,Error code:</source>
        <translation>，错误码：</translation>
    </message>
    <message>
        <source>Unkown Error</source>
        <translation>未知错误</translation>
    </message>
</context>
<context>
    <name>QPickCandiateWidget</name>
    <message>
        <source>polling</source>
        <translation>轮询</translation>
    </message>
    <message>
        <source>Please select user</source>
        <translation>请选择用户</translation>
    </message>
</context>
<context>
    <name>QSecondStreamWidget</name>
    <message>
        <source>Add second channel video input</source>
        <translation>添加第二路视频输入</translation>
    </message>
    <message>
        <source>Input source</source>
        <translation>输入源</translation>
    </message>
    <message>
        <source>Share</source>
        <translation>共享</translation>
    </message>
    <message>
        <source>Refresh video devices</source>
        <translation>刷新视频设备</translation>
    </message>
    <message>
        <source>Please select video input device</source>
        <translation>请选择视频输入设备</translation>
    </message>
    <message>
        <source>Not Found other video devices</source>
        <translation>未找到其他视频设备</translation>
    </message>
</context>
<context>
    <name>QStaticsWidget</name>
    <message>
        <source>Packet lost:</source>
        <translation>丢包率：</translation>
    </message>
    <message>
        <source>Resolution:</source>
        <translation>分辨率：</translation>
    </message>
</context>
<context>
    <name>QWhiteboardLineEdit</name>
    <message>
        <source>Type here:</source>
        <translation>在此输入：</translation>
    </message>
</context>
<context>
    <name>RecentsItem</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
</context>
<context>
    <name>ReservationMeetWidget</name>
    <message>
        <source> Reservation Meeting</source>
        <translation> 的预约会议</translation>
    </message>
    <message>
        <source>Reservation Meeting</source>
        <translation>预约会议</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>Meeting Subject :</source>
        <translation>会议主题：</translation>
    </message>
    <message>
        <source>StartTime : </source>
        <translation>开始时间：</translation>
    </message>
    <message>
        <source>Duration : </source>
        <translation>会议时长：</translation>
    </message>
    <message>
        <source>hours</source>
        <translation>小时</translation>
    </message>
    <message>
        <source>minutes</source>
        <translation>分钟</translation>
    </message>
    <message>
        <source>Periodic Meeting</source>
        <translation>周期会议</translation>
    </message>
    <message>
        <source>daily</source>
        <translation>每天</translation>
    </message>
    <message>
        <source>weekly</source>
        <translation>每周</translation>
    </message>
    <message>
        <source>monthly</source>
        <translation>每月</translation>
    </message>
    <message>
        <source>EndTime :</source>
        <translation>结束时间：</translation>
    </message>
    <message>
        <source>Meeting Password :</source>
        <translation>会议密码：</translation>
    </message>
    <message>
        <source>Moderator Password :</source>
        <translation>主持人密码：</translation>
    </message>
    <message>
        <source>Max Video Number :</source>
        <translation>最大视频数：</translation>
    </message>
    <message>
        <source>Optional</source>
        <translation>可选</translation>
    </message>
    <message>
        <source>Auto Record</source>
        <translation>自动录制</translation>
    </message>
    <message>
        <source>Commit</source>
        <translation>提交</translation>
    </message>
    <message>
        <source>Please input 4-8 digit password</source>
        <translation>请输入4-8位数字密码</translation>
    </message>
    <message>
        <source>Random Generation</source>
        <translation>随机生成</translation>
    </message>
    <message>
        <source>Subject contains special characters:</source>
        <translation>主题包含特殊字符：</translation>
    </message>
    <message>
        <source>Please choose a start time</source>
        <translation>请选择开始时间</translation>
    </message>
    <message>
        <source>Please set length time</source>
        <translation>请设置会议时长</translation>
    </message>
    <message>
        <source>The start time has passed</source>
        <translation>开始时间已过</translation>
    </message>
    <message>
        <source>The end day lies before the start</source>
        <translation>结束日期早于开始时间</translation>
    </message>
</context>
<context>
    <name>RingCallWidget</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Reject</source>
        <translation>拒绝</translation>
    </message>
    <message>
        <source>Accept</source>
        <translation>接听</translation>
    </message>
    <message>
        <source> Audio call</source>
        <translation> 语音通话</translation>
    </message>
    <message>
        <source> Video call</source>
        <translation> 视频通话</translation>
    </message>
</context>
<context>
    <name>RingingWidget</name>
    <message>
        <source>Ringing</source>
        <translation>呼叫中</translation>
    </message>
    <message>
        <source>Hang up</source>
        <translation>挂断</translation>
    </message>
    <message>
        <source>Calling </source>
        <translation>正在呼叫 </translation>
    </message>
    <message>
        <source>,Please waiting...</source>
        <translation>，请稍候...</translation>
    </message>
    <message>
        <source>is busy,Please ring later</source>
        <translation>正忙，请稍后再拨</translation>
    </message>
    <message>
        <source>is rejected,Please ring later</source>
        <translation>已拒绝，请稍后再拨</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
</context>
<context>
    <name>ScreenShareWidget</name>
    <message>
        <source>Screen Share</source>
        <translation>屏幕共享</translation>
    </message>
    <message>
        <source>Desktop Screen</source>
        <translation>桌面屏幕</translation>
    </message>
    <message>
        <source>Application Window</source>
        <translation>应用窗口</translation>
    </message>
    <message>
        <source>Share</source>
        <translation>共享</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>The share could not be started</source>
        <translation>共享未能启动</translation>
    </message>
</context>
<context>
    <name>SystemTray</name>
    <message>
        <source>Open Velto</source>
        <translation>打开Velto</translation>
    </message>
    <message>
        <source>Switch Languages</source>
        <translation>切换语言</translation>
    </message>
    <message>
        <source>Chinese(Simplified)</source>
        <translation>中文（简体）</translation>
    </message>
    <message>
        <source>English</source>
        <translation>英文</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Velto Desktop</source>
        <translation>Velto桌面应用</translation>
    </message>
</context>
<context>
    <name>VeltoUpdate</name>
    <message>
        <source>Upgraged</source>
        <translation>升级</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>软件更新</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Now it&apos;s the latest version</source>
        <translation>当前已是最新版本</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>版本：</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Current Version:</source>
        <translation>当前版本：</translation>
    </message>
    <message>
        <source>Latest Version:</source>
        <translation>最新版本：</translation>
    </message>
    <message>
        <source>Upgrade to the latest version?</source>
        <translation>是否升级到最新版本？</translation>
    </message>
    <message>
        <source>Download...</source>
        <translation>下载中...</translation>
    </message>
    <message>
        <source>Download completed!</source>
        <translation>下载完成！</translation>
    </message>
    <message>
        <source>Install</source>
        <translation>安装</translation>
    </message>
    <message>
        <source>Download failed!Please try again</source>
        <translation>下载失败！请重试</translation>
    </message>
    <message>
        <source>The package could not be opened: %1</source>
        <translation>无法打开安装包：%1</translation>
    </message>
</context>
<context>
    <name>VideoControlWidget</name>
    <message>
        <source>micphone</source>
        <translation>麦克风</translation>
    </message>
    <message>
        <source>video</source>
        <translation>视频</translation>
    </message>
    <message>
        <source>patipants</source>
        <translation>参会者</translation>
    </message>
    <message>
        <source>share</source>
        <translation>共享</translation>
    </message>
    <message>
        <source>annotate</source>
        <translation>标注</translation>
    </message>
    <message>
        <source>record</source>
        <translation>录制</translation>
    </message>
    <message>
        <source>whiteboard</source>
        <translation>白板</translation>
    </message>
    <message>
        <source>layout</source>
        <translation>布局</translation>
    </message>
    <message>
        <source>sip</source>
        <translation>SIP 呼叫</translation>
    </message>
    <message>
        <source>callphone</source>
        <translation>电话呼叫</translation>
    </message>
    <message>
        <source>handsup</source>
        <translation>举手</translation>
    </message>
    <message>
        <source>lock</source>
        <translation>锁定</translation>
    </message>
    <message>
        <source>chat</source>
        <translation>聊天</translation>
    </message>
    <message>
        <source>screen</source>
        <translation>画面</translation>
    </message>
    <message>
        <source>local</source>
        <translation>本地视频</translation>
    </message>
    <message>
        <source>getmoderator</source>
        <translation>申请主持人</translation>
    </message>
    <message>
        <source>fullscreen</source>
        <translation>全屏</translation>
    </message>
    <message>
        <source>closeConference</source>
        <translation>离开会议</translation>
    </message>
    <message>
        <source>ring</source>
        <translation>举手提醒</translation>
    </message>
</context>
<context>
    <name>VideoWidget</name>
    <message>
        <source>Conference Room</source>
        <translation>会议室</translation>
    </message>
    <message>
        <source>Basic information</source>
        <translation>基本信息</translation>
    </message>
    <message>
        <source>Meet ID:</source>
        <translation>会议号：</translation>
    </message>
    <message>
        <source>Meet Type:</source>
        <translation>会议类型：</translation>
    </message>
    <message>
        <source>UserName:</source>
        <translation>用户名：</translation>
    </message>
    <message>
        <source>Role:</source>
        <translation>角色：</translation>
    </message>
    <message>
        <source>SIP call-back number:</source>
        <translation>SIP 回拨号码：</translation>
    </message>
    <message>
        <source>List of participants</source>
        <translation>参会者列表</translation>
    </message>
    <message>
        <source>Please enter the content...</source>
        <translation>请输入内容...</translation>
    </message>
    <message>
        <source>one-time meeting</source>
        <translation>一次性会议</translation>
    </message>
    <message>
        <source>Periodic meeting</source>
        <translation>周期会议</translation>
    </message>
    <message>
        <source>temporary meeting</source>
        <translation>临时会议</translation>
    </message>
    <message>
        <source>fixed meeting</source>
        <translation>固定会议</translation>
    </message>
    <message>
        <source>Moderator</source>
        <translation>主持人</translation>
    </message>
    <message>
        <source>Common user</source>
        <translation>普通用户</translation>
    </message>
</context>
<context>
    <name>WhiteboardWidget</name>
    <message>
        <source>Whiteboard</source>
        <translation>白板</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>The whiteboard could not be saved as %1</source>
        <translation>白板无法保存为 %1</translation>
    </message>
</context>
</TS>
