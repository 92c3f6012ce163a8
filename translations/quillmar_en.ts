<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AlarmLimitsDlg</name>
    <message>
        <source>报警角度设定</source>
        <translation>Alarm Limits</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>俯仰角范围</source>
        <translation>Pitch limit</translation>
    </message>
    <message>
        <source>横滚角范围</source>
        <translation>Roll limit</translation>
    </message>
    <message>
        <source>正负</source>
        <translation>±</translation>
    </message>
    <message>
        <source>实时监控时，角度超过上述设定范围系统将会报警！</source>
        <translation>While monitoring, the alarm sounds when an angle goes beyond these limits.</translation>
    </message>
    <message>
        <source>请输入一个整数。</source>
        <translation>Enter a whole number.</translation>
    </message>
    <message>
        <source>请输入一个介于 0 和 90 之间的整数。</source>
        <translation>Enter a whole number from 0 to 90.</translation>
    </message>
    <message>
        <source>版本信息</source>
        <translation>About Quillmar</translation>
    </message>
</context>
<context>
    <name>AlarmTone</name>
    <message>
        <source>报警声音无法播放：音频输出出错</source>
        <translation>Alarm tone cannot play: audio output error</translation>
    </message>
    <message>
        <source>报警声音无法播放：没有可用的音频输出设备</source>
        <translation>Alarm tone cannot play: no audio output device</translation>
    </message>
    <message>
        <source>报警声音无法播放：音频设备不支持所需格式</source>
        <translation>Alarm tone cannot play: the audio device does not support the format</translation>
    </message>
</context>
<context>
    <name>AnalysisSession</name>
    <message>
        <source>无法打开文件：%1
%2</source>
        <translation>Cannot open file: %1
%2</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>所选的文件为空！</source>
        <translation>The selected file is empty.</translation>
    </message>
    <message>
        <source>所读文件有GPGGA格式,请打开R35格式的文件</source>
        <translation>This file holds GPGGA sentences; open an R35 format file.</translation>
    </message>
    <message>
        <source>请检查文件格式</source>
        <translation>Check the file format.</translation>
    </message>
    <message>
        <source>所选的记录文件中没有方位角、俯仰角或横滚角</source>
        <translation>The selected record file holds no heading, pitch or roll.</translation>
    </message>
    <message>
        <source>时间来自计时文件</source>
        <translation>Times from the timing file</translation>
    </message>
    <message>
        <source>时间来自 GGA/RMC/ZDA</source>
        <translation>Times from GGA/RMC/ZDA</translation>
    </message>
    <message>
        <source>时间按每秒 10 条推算</source>
        <translation>Times estimated at 10 messages per second</translation>
    </message>
    <message>
        <source>正在读取文件...</source>
        <translation>Reading file...</translation>
    </message>
    <message>
        <source>第 %1 条记录</source>
        <translation>Record %1</translation>
    </message>
    <message>
        <source>，方位角 %1，俯仰角 %2</source>
        <translation>, heading %1, pitch %2</translation>
    </message>
    <message>
        <source>，横滚角 %1</source>
        <translation>, roll %1</translation>
    </message>
    <message>
        <source>，UTC %1</source>
        <translation>, UTC %1</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>另有来源 %1 的记录，航向比较见会话摘要</source>
        <translation>records of the sources %1 too; their headings are compared in the session summary</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
</context>
<context>
    <name>AttitudeDisplay</name>
    <message>
        <source>数据中断 %1 秒</source>
        <translation>No data for %1 s</translation>
    </message>
    <message>
        <source>数据中断 %1 分钟</source>
        <translation>No data for %1 min</translation>
    </message>
    <message>
        <source>数据中断 %1 小时 %2 分钟</source>
        <translation>No data for %1 h %2 min</translation>
    </message>
    <message>
        <source>俯仰角</source>
        <translation>Pitch</translation>
    </message>
    <message>
        <source>横滚角</source>
        <translation>Roll</translation>
    </message>
    <message>
        <source>航向指示</source>
        <translation>Heading</translation>
    </message>
    <message>
        <source>西</source>
        <translation>W</translation>
    </message>
    <message>
        <source>东</source>
        <translation>E</translation>
    </message>
    <message>
        <source>南</source>
        <translation>S</translation>
    </message>
    <message>
        <source>北</source>
        <translation>N</translation>
    </message>
    <message>
        <source>前</source>
        <translation>Bow</translation>
    </message>
    <message>
        <source>后</source>
        <translation>Stern</translation>
    </message>
    <message>
        <source>左</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>右</source>
        <translation>Stbd</translation>
    </message>
    <message>
        <source>下</source>
        <translation>Down</translation>
    </message>
    <message>
        <source>方位角为：</source>
        <translation>Heading:</translation>
    </message>
    <message>
        <source>俯仰角为：</source>
        <translation>Pitch:</translation>
    </message>
    <message>
        <source>经度为：</source>
        <translation>Longitude:</translation>
    </message>
    <message>
        <source>纬度为：</source>
        <translation>Latitude:</translation>
    </message>
    <message>
        <source>横滚角为：</source>
        <translation>Roll:</translation>
    </message>
    <message>
        <source>（%1）</source>
        <translation> (%1)</translation>
    </message>
    <message>
        <source>转向速率：</source>
        <translation>Rate of turn:</translation>
    </message>
    <message>
        <source> °/分</source>
        <translation> °/min</translation>
    </message>
    <message>
        <source>来源：%1</source>
        <translation>Source: %1</translation>
    </message>
    <message>
        <source>细针：%1 %2</source>
        <translation>Thin pointer: %1 %2</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>无法提供数据服务：%1</source>
        <translation>Cannot serve the data: %1</translation>
    </message>
    <message>
        <source>正在连接 %1…</source>
        <translation>Connecting to %1…</translation>
    </message>
    <message>
        <source>%1 连接已断开，等待重新连接…</source>
        <translation>%1 disconnected, waiting to reconnect…</translation>
    </message>
    <message>
        <source>%1 连接已断开（%2），等待重新连接…</source>
        <translation>%1 disconnected (%2), waiting to reconnect…</translation>
    </message>
    <message>
        <source>无法连接 %1：%2，稍后自动重试</source>
        <translation>Cannot connect to %1: %2; retrying shortly</translation>
    </message>
    <message>
        <source>数据转发对网络开放：%1</source>
        <translation>Sharing open to the network: %1</translation>
    </message>
    <message>
        <source>数据转发暂不接受新客户端（%1）</source>
        <translation>Sharing takes no new clients for now (%1)</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
</context>
<context>
    <name>CServeDlg</name>
    <message>
        <source>数据转发</source>
        <translation>Data Sharing</translation>
    </message>
    <message>
        <source>向网络客户端转发收到的语句</source>
        <translation>Share the received sentences with network clients</translation>
    </message>
    <message>
        <source>[主机:]端口，如 10110 或 0.0.0.0:10110</source>
        <translation>[host:]port, e.g. 10110 or 0.0.0.0:10110</translation>
    </message>
    <message>
        <source>主机:端口（可选，可为广播或组播地址）</source>
        <translation>host:port (optional; may be a broadcast or multicast address)</translation>
    </message>
    <message>
        <source>TCP 服务地址：</source>
        <translation>TCP server address:</translation>
    </message>
    <message>
        <source>UDP 发送地址：</source>
        <translation>UDP destination:</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>正在监听 %1，%2 个客户端</source>
        <translation>Listening on %1, %2 client(s)</translation>
    </message>
    <message>
        <source>数据报发往 %1</source>
        <translation>Datagrams to %1</translation>
    </message>
    <message>
        <source>%1；数据报发往 %2</source>
        <translation>%1; datagrams to %2</translation>
    </message>
    <message>
        <source>未在转发</source>
        <translation>Not sharing</translation>
    </message>
    <message>
        <source>无法转发：%1</source>
        <translation>Cannot share: %1</translation>
    </message>
    <message>
        <source>正在应用…</source>
        <translation>Applying…</translation>
    </message>
    <message>
        <source>无法提供数据服务：%1</source>
        <translation>Cannot serve the data: %1</translation>
    </message>
    <message>
        <source>（对网络开放：能连到本机的任何人都能读取数据）</source>
        <translation> (open to the network: anyone who can reach this machine can read the data)</translation>
    </message>
    <message>
        <source>；已拒绝 %1 个，已断开 %2 个</source>
        <translation>; %1 refused, %2 dropped</translation>
    </message>
    <message>
        <source>暂不接受新客户端（%1），每秒重试</source>
        <translation>Taking no new clients for now (%1); trying again every second</translation>
    </message>
    <message>
        <source>按 IEC 61162-450 格式发送（UdPbC 报头，标签块，设备标识 %1）</source>
        <translation>Send in the IEC 61162-450 form (UdPbC header, tag block, source identifier %1)</translation>
    </message>
    <message>
        <source>IEC 61162-450 数据报发往 %1</source>
        <translation>IEC 61162-450 datagrams to %1</translation>
    </message>
    <message>
        <source>%1；IEC 61162-450 数据报发往 %2</source>
        <translation>%1; IEC 61162-450 datagrams to %2</translation>
    </message>
</context>
<context>
    <name>CsvExport</name>
    <message>
        <source>载入的文件</source>
        <translation>the loaded file</translation>
    </message>
    <message>
        <source>载入文件的计时文件</source>
        <translation>the loaded file&apos;s timing file</translation>
    </message>
    <message>
        <source>载入文件的原始数据文件</source>
        <translation>the loaded file&apos;s raw capture</translation>
    </message>
    <message>
        <source>载入文件的事件日志</source>
        <translation>the loaded file&apos;s event log</translation>
    </message>
</context>
<context>
    <name>DataHealthDlg</name>
    <message>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>数量</source>
        <translation>Count</translation>
    </message>
    <message>
        <source>速率(条/秒)</source>
        <translation>Rate (/s)</translation>
    </message>
    <message>
        <source>最近(秒前)</source>
        <translation>Last (s ago)</translation>
    </message>
    <message>
        <source>校验错误</source>
        <translation>Checksum errors</translation>
    </message>
    <message>
        <source>数据包 %1</source>
        <translation>Packet %1</translation>
    </message>
    <message>
        <source>其他</source>
        <translation>Other</translation>
    </message>
    <message>
        <source>%1 字节</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>%1 天 %2</source>
        <translation>%1 d %2</translation>
    </message>
    <message>
        <source>数据状态</source>
        <translation>Data Status</translation>
    </message>
    <message>
        <source>坏数据包（校验和不符，已丢弃）</source>
        <translation>Bad packets (checksum mismatch, dropped)</translation>
    </message>
    <message>
        <source>超长行（分段记录）</source>
        <translation>Over-long lines (recorded in pieces)</translation>
    </message>
    <message>
        <source>丢弃字节（窗口未及显示，记录完整）</source>
        <translation>Bytes not shown (window behind; record complete)</translation>
    </message>
    <message>
        <source>连接时长</source>
        <translation>Connected for</translation>
    </message>
    <message>
        <source>重新连接次数</source>
        <translation>Reconnections</translation>
    </message>
    <message>
        <source>记录文件</source>
        <translation>Record file</translation>
    </message>
    <message>
        <source>记录文件大小</source>
        <translation>Record file size</translation>
    </message>
    <message>
        <source>磁盘剩余空间</source>
        <translation>Free disk space</translation>
    </message>
    <message>
        <source>数据状态（回放）</source>
        <translation>Data Status (Replay)</translation>
    </message>
    <message>
        <source>未连接</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>没有记录文件</source>
        <translation>No record file</translation>
    </message>
    <message>
        <source>（不足 1 GB，请尽快腾出空间）</source>
        <translation> (under 1 GB: free some space soon)</translation>
    </message>
    <message>
        <source>%1：</source>
        <translation>%1:</translation>
    </message>
    <message>
        <source>丢失的数据报（系统接收缓冲区已满）</source>
        <translation>Datagrams lost (the system&apos;s receive buffer was full)</translation>
    </message>
    <message>
        <source>数据报发送方</source>
        <translation>Datagram senders</translation>
    </message>
    <message>
        <source>%1：%2 个数据报</source>
        <translation>%1: %2 datagrams</translation>
    </message>
    <message>
        <source>%1：已拒绝 %2 个数据报</source>
        <translation>%1: %2 datagrams refused</translation>
    </message>
    <message>
        <source>其他发送方（过多，未逐一列出）：%1 个数据报</source>
        <translation>Other senders (too many to list): %1 datagrams</translation>
    </message>
    <message>
        <source>读到的量</source>
        <translation>Quantities read</translation>
    </message>
    <message>
        <source>航向</source>
        <translation>Heading</translation>
    </message>
    <message>
        <source>俯仰角</source>
        <translation>Pitch</translation>
    </message>
    <message>
        <source>横滚角</source>
        <translation>Roll</translation>
    </message>
    <message>
        <source>位置</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>磁航向</source>
        <translation>Magnetic heading</translation>
    </message>
    <message>
        <source>磁航向所示真航向</source>
        <translation>True heading from magnetic</translation>
    </message>
    <message>
        <source>转向速率</source>
        <translation>Rate of turn</translation>
    </message>
    <message>
        <source>对地航向</source>
        <translation>Course over ground</translation>
    </message>
    <message>
        <source>对地航速</source>
        <translation>Speed over ground</translation>
    </message>
    <message>
        <source>空</source>
        <translation>empty</translation>
    </message>
    <message>
        <source>有效</source>
        <translation>valid</translation>
    </message>
    <message>
        <source>无效</source>
        <translation>invalid</translation>
    </message>
    <message>
        <source>不可信</source>
        <translation>not plausible</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>状态 %1</source>
        <translation>status %1</translation>
    </message>
    <message>
        <source>设备 %1</source>
        <translation>device %1</translation>
    </message>
    <message>
        <source>超过 82 字符 %1 条</source>
        <translation>%1 longer than 82 characters</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>未读的 IEC 61162-450 数据报（二进制传输等，已记录）</source>
        <translation>IEC 61162-450 datagrams not read (binary transfers and others; recorded)</translation>
    </message>
    <message>
        <source>来源</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>量</source>
        <translation>Quantity</translation>
    </message>
    <message>
        <source>值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>显示</source>
        <translation>Shown</translation>
    </message>
    <message>
        <source>来源 A</source>
        <translation>Source A</translation>
    </message>
    <message>
        <source>来源 B</source>
        <translation>Source B</translation>
    </message>
    <message>
        <source>差值</source>
        <translation>Difference</translation>
    </message>
    <message>
        <source>限值</source>
        <translation>Limit</translation>
    </message>
    <message>
        <source>无数据</source>
        <translation>no data</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>超限</source>
        <translation>Over limit</translation>
    </message>
    <message>
        <source>已静音</source>
        <translation>Silenced</translation>
    </message>
    <message>
        <source>已确认</source>
        <translation>Acknowledged</translation>
    </message>
    <message>
        <source>已恢复，请确认</source>
        <translation>Rectified, acknowledge</translation>
    </message>
    <message>
        <source>%1°/分</source>
        <translation>%1°/min</translation>
    </message>
    <message>
        <source>%1 节</source>
        <translation>%1 kn</translation>
    </message>
    <message>
        <source>%1（磁）</source>
        <translation>%1 (magnetic)</translation>
    </message>
    <message>
        <source>各来源</source>
        <translation>Sources</translation>
    </message>
    <message>
        <source>航向比较</source>
        <translation>Heading comparison</translation>
    </message>
    <message>
        <source>未比较（航速不足或无对地航向）</source>
        <translation>not compared (too slow, or no course over ground)</translation>
    </message>
    <message>
        <source>%1（可疑）</source>
        <translation>%1 (suspect)</translation>
    </message>
    <message>
        <source>航向与对地航向</source>
        <translation>Heading against course over ground</translation>
    </message>
    <message>
        <source>%1 − %2，最近 10 分钟</source>
        <translation>%1 − %2, the last 10 minutes</translation>
    </message>
</context>
<context>
    <name>DrawingTools</name>
    <message>
        <source>图形已满，不能再添加线段</source>
        <translation>The drawing is full: no more lines can be added.</translation>
    </message>
    <message>
        <source>文字注记已满（%1 条），不能再添加</source>
        <translation>Text notes are full (%1): no more can be added.</translation>
    </message>
</context>
<context>
    <name>ErrorText</name>
    <message>
        <source>不允许的操作</source>
        <translation>Operation not permitted</translation>
    </message>
    <message>
        <source>没有那个文件或目录</source>
        <translation>No such file or directory</translation>
    </message>
    <message>
        <source>输入/输出错误</source>
        <translation>Input/output error</translation>
    </message>
    <message>
        <source>没有那个设备或地址</source>
        <translation>No such device or address</translation>
    </message>
    <message>
        <source>资源暂时不可用</source>
        <translation>Resource temporarily unavailable</translation>
    </message>
    <message>
        <source>内存不足</source>
        <translation>Out of memory</translation>
    </message>
    <message>
        <source>权限不够</source>
        <translation>Permission denied</translation>
    </message>
    <message>
        <source>设备或资源忙</source>
        <translation>Device or resource busy</translation>
    </message>
    <message>
        <source>文件已存在</source>
        <translation>File exists</translation>
    </message>
    <message>
        <source>没有那个设备</source>
        <translation>No such device</translation>
    </message>
    <message>
        <source>不是目录</source>
        <translation>Not a directory</translation>
    </message>
    <message>
        <source>是一个目录</source>
        <translation>Is a directory</translation>
    </message>
    <message>
        <source>无效的参数</source>
        <translation>Invalid argument</translation>
    </message>
    <message>
        <source>系统中打开的文件过多</source>
        <translation>Too many open files in system</translation>
    </message>
    <message>
        <source>打开的文件过多</source>
        <translation>Too many open files</translation>
    </message>
    <message>
        <source>不是终端或串口设备</source>
        <translation>Not a terminal or serial device</translation>
    </message>
    <message>
        <source>文件过大</source>
        <translation>File too large</translation>
    </message>
    <message>
        <source>设备上没有空间</source>
        <translation>No space left on device</translation>
    </message>
    <message>
        <source>只读文件系统</source>
        <translation>Read-only file system</translation>
    </message>
    <message>
        <source>文件名过长</source>
        <translation>File name too long</translation>
    </message>
    <message>
        <source>超出磁盘配额</source>
        <translation>Disk quota exceeded</translation>
    </message>
    <message>
        <source>操作超时</source>
        <translation>Operation timed out</translation>
    </message>
    <message>
        <source>地址已在使用</source>
        <translation>Address already in use</translation>
    </message>
    <message>
        <source>无法使用该地址</source>
        <translation>Cannot use that address</translation>
    </message>
    <message>
        <source>连接被拒绝</source>
        <translation>Connection refused</translation>
    </message>
    <message>
        <source>连接被对方重置</source>
        <translation>Connection reset by the other side</translation>
    </message>
    <message>
        <source>无法到达主机</source>
        <translation>No route to host</translation>
    </message>
    <message>
        <source>网络不可达</source>
        <translation>Network is unreachable</translation>
    </message>
</context>
<context>
    <name>HeadlessExport</name>
    <message>
        <source>--export-csv 需要指明要导出的记录：--analyse 文件 或 --analyse-record 文件</source>
        <translation>--export-csv needs the recording to export: --analyse FILE or --analyse-record FILE</translation>
    </message>
</context>
<context>
    <name>Line</name>
    <message>
        <source>文件太短，不是 Quillmar 文档</source>
        <translation>The file is too short to be a Quillmar document</translation>
    </message>
    <message>
        <source>不是 Quillmar 文档</source>
        <translation>Not a Quillmar document</translation>
    </message>
    <message>
        <source>文件在第 %1 条线段处中断，已损坏</source>
        <translation>The file breaks off at line segment %1: it is damaged</translation>
    </message>
</context>
<context>
    <name>LiveCurves</name>
    <message>
        <source>（单位：百）</source>
        <translation>(×100)</translation>
    </message>
    <message>
        <source>第 %1 个样本，开始后 %2:%3:%4.%5</source>
        <translation>Sample %1, %2:%3:%4.%5 after start</translation>
    </message>
    <message>
        <source>方位角</source>
        <translation>heading</translation>
    </message>
    <message>
        <source>俯仰角</source>
        <translation>pitch</translation>
    </message>
    <message>
        <source>横滚角</source>
        <translation>roll</translation>
    </message>
    <message>
        <source>未接收到姿态仪数据</source>
        <translation>No data from the attitude instrument</translation>
    </message>
    <message>
        <source>        请检查连接</source>
        <translation>        Check the connection</translation>
    </message>
    <message>
        <source>分析数据请先调入文件</source>
        <translation>To analyse data, load a file first</translation>
    </message>
    <message>
        <source>，%1 %2</source>
        <translation>, %1 %2</translation>
    </message>
</context>
<context>
    <name>MainFrame</name>
    <message>
        <source>(*.txt) (*.txt);;所有文件 (*.*)</source>
        <translation>(*.txt) (*.txt);;All files (*.*)</translation>
    </message>
    <message>
        <source>就绪</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>点击表示已看到</source>
        <translation>Click to acknowledge</translation>
    </message>
    <message>
        <source>大写</source>
        <translation>CAP</translation>
    </message>
    <message>
        <source>数字</source>
        <translation>NUM</translation>
    </message>
    <message>
        <source>滚动</source>
        <translation>SCRL</translation>
    </message>
    <message>
        <source>是否保存对 %1 的更改？</source>
        <translation>Save changes to %1?</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>无权打开串口 %1。请把当前用户加入用户组 %2（sudo usermod -aG %2 $USER），重新登录后再试</source>
        <translation>No permission to open port %1. Add your user to the group %2 (sudo usermod -aG %2 $USER), log in again and retry</translation>
    </message>
    <message>
        <source>串口 %1 正被其他程序占用</source>
        <translation>Port %1 is in use by another program</translation>
    </message>
    <message>
        <source>串口 %1 未连接，等待设备接入…</source>
        <translation>Port %1 not connected, waiting for the device…</translation>
    </message>
    <message>
        <source>无法打开串口 %1：%2</source>
        <translation>Cannot open port %1: %2</translation>
    </message>
    <message>
        <source>COM%1 没有对应的串口设备，请用“选择串口”选择其他串口</source>
        <translation>COM%1 has no serial device; choose another port with &quot;Select Port&quot;</translation>
    </message>
    <message>
        <source>串口 %1 已断开，等待重新连接…</source>
        <translation>Port %1 disconnected, waiting to reconnect…</translation>
    </message>
    <message>
        <source>已连接 %1</source>
        <translation>Connected %1</translation>
    </message>
    <message>
        <source>记录文件：%1</source>
        <translation>Record file: %1</translation>
    </message>
    <message>
        <source>记录文件写入失败：%1（%2）；数据暂存内存，恢复后补写</source>
        <translation>Writing the record file failed: %1 (%2); data is kept in memory and written when possible</translation>
    </message>
    <message>
        <source>记录已恢复：%1</source>
        <translation>Recording resumed: %1</translation>
    </message>
    <message>
        <source>记录文件 %1 被删除，已重新建立：%2</source>
        <translation>Record file %1 was deleted and has been created again: %2</translation>
    </message>
    <message>
        <source>记录文件 %1 被删除，无法重新建立（%2）</source>
        <translation>Record file %1 was deleted and cannot be created again (%2)</translation>
    </message>
    <message>
        <source>俯仰角超出报警范围 ±%1°</source>
        <translation>Pitch beyond alarm limit ±%1°</translation>
    </message>
    <message>
        <source>横滚角超出报警范围 ±%1°</source>
        <translation>Roll beyond alarm limit ±%1°</translation>
    </message>
    <message>
        <source>数据中断超过 %1 秒</source>
        <translation>No data for over %1 s</translation>
    </message>
    <message>
        <source>（已静音）</source>
        <translation> (silenced)</translation>
    </message>
    <message>
        <source>（已确认）</source>
        <translation> (acknowledged)</translation>
    </message>
    <message>
        <source>（已恢复，请确认）</source>
        <translation> (cleared, please acknowledge)</translation>
    </message>
    <message>
        <source>航向</source>
        <translation>heading</translation>
    </message>
    <message>
        <source>俯仰</source>
        <translation>pitch</translation>
    </message>
    <message>
        <source>横滚</source>
        <translation>roll</translation>
    </message>
    <message>
        <source>位置</source>
        <translation>position</translation>
    </message>
    <message>
        <source>数据中断：</source>
        <translation>No data: </translation>
    </message>
    <message>
        <source>窗口未能及时显示 %1 条消息（记录文件完整）</source>
        <translation>%1 messages could not be shown in time (record file complete)</translation>
    </message>
    <message>
        <source>已接收消息 %1 条；校验和不符 %2 条；断开时丢弃的不完整消息 %3 条</source>
        <translation>%1 messages received; %2 checksum mismatches; %3 incomplete messages dropped on disconnect</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>无法建立记录文件：%1
%2
记录仍写入原文件。</source>
        <translation>Cannot create the record file: %1
%2
Recording continues into the previous file.</translation>
    </message>
    <message>
        <source>数据回放</source>
        <translation>Replay</translation>
    </message>
    <message>
        <source>，%1</source>
        <translation>, %1</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>无权打开串口 %1：设备只允许 root 使用。请用 udev 规则把它交给 dialout 组（示例：/usr/share/doc/quillmar/99-quillmar-gnss.rules），把当前用户加入 dialout 组（sudo usermod -aG dialout $USER），重新登录后再试</source>
        <translation>No permission to open port %1: only root may use the device. Hand it to the dialout group with a udev rule (example: /usr/share/doc/quillmar/99-quillmar-gnss.rules), add your user to dialout (sudo usermod -aG dialout $USER), log in again and retry</translation>
    </message>
    <message>
        <source>磁盘已满：记录文件缺少 %1 字节（见事件日志）</source>
        <translation>Disk full: the record file lacks %1 bytes (see the event log)</translation>
    </message>
    <message>
        <source>设置中的数据源 Source=%1 无效（%2），未打开任何数据源</source>
        <translation>The source in the settings, Source=%1, is not valid (%2); no source was opened</translation>
    </message>
    <message>
        <source>设置无效，已改用默认值：%1</source>
        <translation>Settings not valid, their defaults are used: %1</translation>
    </message>
    <message>
        <source>无法建立记录文件：%1
%2
接收和显示照常进行，但数据不会被记录；每 %3 秒重试一次。</source>
        <translation>Cannot create the record file: %1
%2
Reception and display go on, but nothing is recorded; trying again every %3 seconds.</translation>
    </message>
    <message>
        <source>记录文件夹已可用，记录从现在开始：%1（此前 %2 秒未记录）</source>
        <translation>The record folder can be used now; recording starts here: %1 (the %2 seconds before were not recorded)</translation>
    </message>
    <message>
        <source>航向差超限</source>
        <translation>Heading difference over limit</translation>
    </message>
    <message>
        <source>航向来源：%1</source>
        <translation>Heading source: %1</translation>
    </message>
    <message>
        <source>磁航向</source>
        <translation>magnetic heading</translation>
    </message>
    <message>
        <source>磁航向所示真航向</source>
        <translation>true heading from magnetic</translation>
    </message>
    <message>
        <source>转向速率</source>
        <translation>rate of turn</translation>
    </message>
    <message>
        <source>对地航向</source>
        <translation>course over ground</translation>
    </message>
    <message>
        <source>对地航速</source>
        <translation>speed over ground</translation>
    </message>
    <message>
        <source>%1来源切换：%2 → %3</source>
        <translation>Source of the %1 switched: %2 → %3</translation>
    </message>
    <message>
        <source>其他数据源已保存，下次启动时生效</source>
        <translation>Further sources saved; they are read from the next start</translation>
    </message>
    <message>
        <source>正在记录数据，确定退出吗？</source>
        <translation>Data is being recorded. Quit anyway?</translation>
    </message>
</context>
<context>
    <name>MainMenu</name>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>保存数据路径</source>
        <translation>Record Folder…</translation>
    </message>
    <message>
        <source>打开分析文件(&amp;O)</source>
        <translation>&amp;Open Analysis File…</translation>
    </message>
    <message>
        <source>数据回放…</source>
        <translation>Replay…</translation>
    </message>
    <message>
        <source>结束回放</source>
        <translation>End Replay</translation>
    </message>
    <message>
        <source>最近文件</source>
        <translation>Recent Files</translation>
    </message>
    <message>
        <source>退出(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>连接(&amp;C)</source>
        <translation>&amp;Connection</translation>
    </message>
    <message>
        <source>选择串口</source>
        <translation>Select Port</translation>
    </message>
    <message>
        <source>串口监视(&amp;D)</source>
        <translation>&amp;Data</translation>
    </message>
    <message>
        <source>串口监视</source>
        <translation>Serial Monitor</translation>
    </message>
    <message>
        <source>数据状态</source>
        <translation>Data Status</translation>
    </message>
    <message>
        <source>实时监控视图(&amp;R)</source>
        <translation>&amp;Real-time</translation>
    </message>
    <message>
        <source>实时数据视图1</source>
        <translation>Attitude Display</translation>
    </message>
    <message>
        <source>实时数据视图2</source>
        <translation>Live Curves</translation>
    </message>
    <message>
        <source>视图操作(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>中心放大</source>
        <translation>Zoom In</translation>
    </message>
    <message>
        <source>横向放大</source>
        <translation>Stretch Horizontally</translation>
    </message>
    <message>
        <source>纵向放大</source>
        <translation>Stretch Vertically</translation>
    </message>
    <message>
        <source>中心缩小</source>
        <translation>Zoom Out</translation>
    </message>
    <message>
        <source>横向收缩</source>
        <translation>Shrink Horizontally</translation>
    </message>
    <message>
        <source>纵向收缩</source>
        <translation>Shrink Vertically</translation>
    </message>
    <message>
        <source>移动</source>
        <translation>Pan</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Reset View</translation>
    </message>
    <message>
        <source>跟随最新</source>
        <translation>Follow Latest</translation>
    </message>
    <message>
        <source>工具栏(&amp;T)</source>
        <translation>&amp;Toolbar</translation>
    </message>
    <message>
        <source>数据分析视图(&amp;A)</source>
        <translation>&amp;Analysis</translation>
    </message>
    <message>
        <source>调入文件</source>
        <translation>Load File…</translation>
    </message>
    <message>
        <source>调入记录文件</source>
        <translation>Load Record File…</translation>
    </message>
    <message>
        <source>取消调入</source>
        <translation>Cancel Load</translation>
    </message>
    <message>
        <source>方位角(绿色线)</source>
        <translation>Heading (green)</translation>
    </message>
    <message>
        <source>俯仰角(褐色线)</source>
        <translation>Pitch (brown)</translation>
    </message>
    <message>
        <source>横滚角(红色线)</source>
        <translation>Roll (red)</translation>
    </message>
    <message>
        <source>卫星数(蓝色线)</source>
        <translation>Satellites (blue)</translation>
    </message>
    <message>
        <source>误差值(黄色线)</source>
        <translation>Error (yellow)</translation>
    </message>
    <message>
        <source>时间轴</source>
        <translation>Time Axis</translation>
    </message>
    <message>
        <source>导出…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <source>会话摘要</source>
        <translation>Session Summary</translation>
    </message>
    <message>
        <source>报警(&amp;B)</source>
        <translation>A&amp;larm</translation>
    </message>
    <message>
        <source>报警角度设定</source>
        <translation>Alarm Limits</translation>
    </message>
    <message>
        <source>确认报警</source>
        <translation>Acknowledge Alarm</translation>
    </message>
    <message>
        <source>静音</source>
        <translation>Silence</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>系统运行时间</source>
        <translation>Running Time</translation>
    </message>
    <message>
        <source>关于(&amp;A)...</source>
        <translation>&amp;About Quillmar...</translation>
    </message>
    <message>
        <source>放大视图
以鼠标拾取点为中心放大</source>
        <translation>Zoom in
Zoom in around the point you click</translation>
    </message>
    <message>
        <source>缩小视图
以鼠标拾取点为中心缩小</source>
        <translation>Zoom out
Zoom out around the point you click</translation>
    </message>
    <message>
        <source>移动
移动</source>
        <translation>Pan
Pan</translation>
    </message>
    <message>
        <source>
实时数据视图1</source>
        <translation>
Attitude display</translation>
    </message>
    <message>
        <source>横向放大
横向放大</source>
        <translation>Stretch horizontally
Stretch horizontally</translation>
    </message>
    <message>
        <source>纵向放大
纵向放大</source>
        <translation>Stretch vertically
Stretch vertically</translation>
    </message>
    <message>
        <source>横向收缩
横向收缩</source>
        <translation>Shrink horizontally
Shrink horizontally</translation>
    </message>
    <message>
        <source>纵向收缩
纵向收缩</source>
        <translation>Shrink vertically
Shrink vertically</translation>
    </message>
    <message>
        <source>
刷新</source>
        <translation>
Reset view</translation>
    </message>
    <message>
        <source>跟随最新：最新的样本留在实时曲线的右边缘
跟随最新</source>
        <translation>Follow latest: keep the newest sample at the right edge of the live curves
Follow latest</translation>
    </message>
    <message>
        <source>
实时数据视图2</source>
        <translation>
Live curves</translation>
    </message>
    <message>
        <source>
方位角</source>
        <translation>
Heading</translation>
    </message>
    <message>
        <source>
俯仰角</source>
        <translation>
Pitch</translation>
    </message>
    <message>
        <source>
横滚角</source>
        <translation>
Roll</translation>
    </message>
    <message>
        <source>
卫星数</source>
        <translation>
Satellites</translation>
    </message>
    <message>
        <source>
误差值</source>
        <translation>
Error</translation>
    </message>
    <message>
        <source>
打开文件，调入数据</source>
        <translation>
Open a file and load its data</translation>
    </message>
    <message>
        <source>调入本程序的记录文件，按接收时间分析
调入记录文件</source>
        <translation>Load a record file of this program and analyse it by time of arrival
Load record file</translation>
    </message>
    <message>
        <source>横轴标注接收时间（UTC）或记录序号
时间轴</source>
        <translation>Label the horizontal axis with the time of arrival (UTC) or the record number
Time axis</translation>
    </message>
    <message>
        <source>停止正在调入的文件，保留原来的曲线
取消调入 (Esc)</source>
        <translation>Stop loading the file and keep the curves shown before
Cancel load (Esc)</translation>
    </message>
    <message>
        <source>
选择保存数据的路径</source>
        <translation>
Choose where data is recorded</translation>
    </message>
    <message>
        <source>按记录时的节奏回放记录文件，实时显示、报警和数据状态随之变化
数据回放</source>
        <translation>Play a record file back at its recorded pace into the displays, alarms and data status
Replay</translation>
    </message>
    <message>
        <source>结束回放，回到实时数据
结束回放</source>
        <translation>End the replay and return to live data
End replay</translation>
    </message>
    <message>
        <source>把调入的记录导出为 CSV，或把分析曲线导出为 PNG、PDF、SVG 图片
导出</source>
        <translation>Export the loaded records as CSV, or the analysis curves as a PNG, PDF or SVG picture
Export</translation>
    </message>
    <message>
        <source>调入记录的时长、最大俯仰角和横滚角、超限时间、数据中断和报警事件
会话摘要</source>
        <translation>The loaded recording&apos;s duration, largest pitch and roll, time beyond limits, data gaps and alarm events
Session summary</translation>
    </message>
    <message>
        <source>确认报警：停止报警声，报警结束前报警栏保持红色
确认报警 (F8)</source>
        <translation>Acknowledge alarm: stop the tone; the alarm pane stays red until the alarm ends
Acknowledge alarm (F8)</translation>
    </message>
    <message>
        <source>静音：报警声停止 30 秒
静音 (Shift+F8)</source>
        <translation>Silence: stop the alarm tone for 30 seconds
Silence (Shift+F8)</translation>
    </message>
    <message>
        <source>选择串口
选择串口</source>
        <translation>Select port
Select port</translation>
    </message>
    <message>
        <source>
串口调试</source>
        <translation>
Serial monitor</translation>
    </message>
    <message>
        <source>各类消息的数量、速率和校验错误，连接与记录文件的状况
数据状态</source>
        <translation>Count, rate and checksum errors of each message type, state of the link and the record file
Data status</translation>
    </message>
    <message>
        <source>显示程序信息，版本号和版权
关于</source>
        <translation>Show program information, version and copyright
About</translation>
    </message>
    <message>
        <source>退出应用程序；提示保存文档
退出</source>
        <translation>Quit the application; prompts to save the document
Exit</translation>
    </message>
    <message>
        <source>显示或隐藏工具栏
显隐工具栏</source>
        <translation>Show or hide the toolbar
Toggle toolbar</translation>
    </message>
    <message>
        <source>打开该文档</source>
        <translation>Open this document</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit tool</translation>
    </message>
    <message>
        <source>画线
画线</source>
        <translation>Draw line
Draw line</translation>
    </message>
    <message>
        <source>文字注记
文字注记</source>
        <translation>Text note
Text note</translation>
    </message>
    <message>
        <source>船形选择</source>
        <translation>Vessel Outline</translation>
    </message>
    <message>
        <source>航道布线</source>
        <translation>Channel Layout</translation>
    </message>
    <message>
        <source>坐标库</source>
        <translation>Coordinate Library</translation>
    </message>
    <message>
        <source>坐标作图</source>
        <translation>Plot Coordinates</translation>
    </message>
    <message>
        <source>偏航窗口</source>
        <translation>Cross-track Window</translation>
    </message>
    <message>
        <source>测量方式</source>
        <translation>Measurement Mode</translation>
    </message>
    <message>
        <source>数据回放</source>
        <translation>Replay</translation>
    </message>
    <message>
        <source>满幅布线
满幅布线</source>
        <translation>Full-width layout
Full-width layout</translation>
    </message>
    <message>
        <source>区域布线
区域布线</source>
        <translation>Area layout
Area layout</translation>
    </message>
    <message>
        <source>线形设置</source>
        <translation>Line Style</translation>
    </message>
    <message>
        <source>字体设置</source>
        <translation>Font Settings</translation>
    </message>
    <message>
        <source>区域缩放
区域缩放</source>
        <translation>Area zoom
Area zoom</translation>
    </message>
    <message>
        <source>原始视图
原始视图</source>
        <translation>Initial view
Initial view</translation>
    </message>
    <message>
        <source>建立新文档
新建</source>
        <translation>Create a new document
New</translation>
    </message>
    <message>
        <source>打开一个现有文档
打开</source>
        <translation>Open an existing document
Open</translation>
    </message>
    <message>
        <source>保存活动文档
保存</source>
        <translation>Save the active document
Save</translation>
    </message>
    <message>
        <source>打印活动文档
打印</source>
        <translation>Print the active document
Print</translation>
    </message>
    <message>
        <source>数据转发…</source>
        <translation>Data Sharing…</translation>
    </message>
    <message>
        <source>把收到的语句转发给网络客户端（TCP 服务，可选 UDP 数据报）
数据转发</source>
        <translation>Shares the received sentences with network clients (TCP server, optional UDP datagrams)
Data Sharing</translation>
    </message>
    <message>
        <source>打印…</source>
        <translation>Print…</translation>
    </message>
</context>
<context>
    <name>Navigation</name>
    <message>
        <source>视图已经不适宜再放大，请选择缩小按钮</source>
        <translation>The view cannot be enlarged further; use a shrink button.</translation>
    </message>
    <message>
        <source>视图已经不适宜再缩小，请选择放大按钮</source>
        <translation>The view cannot be shrunk further; use a stretch button.</translation>
    </message>
    <message>
        <source>按钮不是这样点地
本按钮点击一次后
鼠标到视图中左键点选缩放中心
请按刷新按钮重新缩放</source>
        <translation>Not like that:
click this button once,
then left-click the zoom centre in the view.
Press Reset View to zoom again.</translation>
    </message>
    <message>
        <source>放大和缩小之间切换过多，请按刷新回原始视图后再缩放</source>
        <translation>Too many switches between zooming in and out; press Reset View, then zoom again.</translation>
    </message>
    <message>
        <source>缩放中心已满，请按刷新回原始视图后再缩放</source>
        <translation>No more zoom centres; press Reset View, then zoom again.</translation>
    </message>
    <message>
        <source>请换用纵横向或中心缩放察看细节</source>
        <translation>Use stretch, shrink or centre zoom to look at details.</translation>
    </message>
</context>
<context>
    <name>NetSource</name>
    <message>
        <source>无法识别的数据源 &quot;%1&quot;：应为 serial:/dev/ttyUSB0、tcp://主机:端口、udp://:端口 或 gpsd://主机[:端口]</source>
        <translation>Unknown data source &quot;%1&quot;: expected serial:/dev/ttyUSB0, tcp://host:port, udp://:port or gpsd://host[:port]</translation>
    </message>
    <message>
        <source>无法解析主机名 %1：%2</source>
        <translation>Cannot resolve host name %1: %2</translation>
    </message>
    <message>
        <source>无法识别的数据源 &quot;%1&quot;：UDP 数据源之后只能是 ?from=地址或网段[,…]</source>
        <translation>Unknown data source &quot;%1&quot;: a UDP source may only be followed by ?from=address or network[,…]</translation>
    </message>
    <message>
        <source>无法识别的数据源 &quot;%1&quot;：&quot;%2&quot; 不是 IP 地址或网段（如 127.0.0.1 或 10.1.0.0/16）</source>
        <translation>Unknown data source &quot;%1&quot;: &quot;%2&quot; is no IP address or network (such as 127.0.0.1 or 10.1.0.0/16)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; 不能作为数据源名称：只能用字母、数字、&quot;-&quot; 和 &quot;_&quot;，以字母开头，至多 32 个字符</source>
        <translation>&quot;%1&quot; cannot name a source: only letters, digits, &quot;-&quot; and &quot;_&quot;, a letter first, at most 32 characters</translation>
    </message>
</context>
<context>
    <name>NmeaServer</name>
    <message>
        <source>无法识别的服务地址 &quot;%1&quot;：应为 [主机:]端口</source>
        <translation>Unknown server address &quot;%1&quot;: expected [host:]port</translation>
    </message>
</context>
<context>
    <name>PortSelectDlg</name>
    <message>
        <source>串口选择</source>
        <translation>Select Port</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>请选择姿态仪所连接的串口后，点&quot;设置&quot;按钮</source>
        <translation>Choose the port the attitude instrument is connected to, then click &quot;Set&quot;</translation>
    </message>
    <message>
        <source>     没有空闲串口可用!
串口被占用或没有连接好</source>
        <translation>     No free port available!
The ports are in use or not connected.</translation>
    </message>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>同时读取的其他数据源（下次启动时生效）:</source>
        <translation>Also read at the same time (from the next start):</translation>
    </message>
    <message>
        <source>数据源 URL (serial:设备、tcp://主机:端口、udp://:端口、gpsd://主机):</source>
        <translation>Source URL (serial:device, tcp://host:port, udp://:port, gpsd://host):</translation>
    </message>
</context>
<context>
    <name>Prompter</name>
    <message>
        <source> 像素</source>
        <translation> px</translation>
    </message>
    <message>
        <source>宽度：</source>
        <translation>Width:</translation>
    </message>
    <message>
        <source>高度：</source>
        <translation>Height:</translation>
    </message>
    <message>
        <source>记录文件 (*.txt *.dat);;所有文件 (*)</source>
        <translation>Record files (*.txt *.dat);;All files (*)</translation>
    </message>
</context>
<context>
    <name>QuillmarDoc</name>
    <message>
        <source>无法保存文件：%1
%2</source>
        <translation>Cannot save file: %1
%2</translation>
    </message>
    <message>
        <source>无法打开文件：%1
%2</source>
        <translation>Cannot open file: %1
%2</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>not a regular file</translation>
    </message>
</context>
<context>
    <name>QuillmarView</name>
    <message>
        <source>导出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv);;PNG 图片 (*.png);;PDF 文件 (*.pdf);;SVG 图片 (*.svg)</source>
        <translation>CSV files (*.csv);;PNG pictures (*.png);;PDF files (*.pdf);;SVG pictures (*.svg)</translation>
    </message>
    <message>
        <source>不能导出为这种文件：%1
请用 .csv、.png、.pdf 或 .svg 作扩展名</source>
        <translation>Cannot export to this kind of file: %1
Use the extension .csv, .png, .pdf or .svg</translation>
    </message>
    <message>
        <source>导出图片的大小</source>
        <translation>Size of the exported picture</translation>
    </message>
    <message>
        <source>已取消调入</source>
        <translation>Load cancelled</translation>
    </message>
    <message>
        <source>已调入 %1 条记录</source>
        <translation>%1 records loaded</translation>
    </message>
    <message>
        <source>打开R35格式文件进行分析</source>
        <translation>Open an R35 File to Analyse</translation>
    </message>
    <message>
        <source>调入记录文件进行分析</source>
        <translation>Load a Record File to Analyse</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Reset View</translation>
    </message>
    <message>
        <source>放大</source>
        <translation>Zoom In</translation>
    </message>
    <message>
        <source>缩小</source>
        <translation>Zoom Out</translation>
    </message>
    <message>
        <source>平移</source>
        <translation>Pan</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit Tool</translation>
    </message>
    <message>
        <source>导出…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <source>系统已连续运行了%1小时%2分钟</source>
        <translation>The system has been running for %1 h %2 min</translation>
    </message>
    <message>
        <source>打印到 PDF 文件（没有可用的打印机）</source>
        <translation>Print to PDF File (no printer available)</translation>
    </message>
    <message>
        <source>，%1</source>
        <translation>, %1</translation>
    </message>
    <message>
        <source>%1 已存在。
要替换它吗？</source>
        <translation>%1 already exists.
Do you want to replace it?</translation>
    </message>
    <message>
        <source>；%1</source>
        <translation>; %1</translation>
    </message>
    <message>
        <source>放大和缩小只用于曲线视图</source>
        <translation>Zoom in and out work on the live curves and the analysis only</translation>
    </message>
    <message>
        <source>实时曲线没有卫星数和误差值</source>
        <translation>The live curves have no satellite count or error</translation>
    </message>
    <message>
        <source>曲线开关只用于曲线视图</source>
        <translation>The curve switches work on the live curves and the analysis only</translation>
    </message>
    <message>
        <source>UTC %1 至 %2</source>
        <translation>UTC %1 to %2</translation>
    </message>
    <message>
        <source>第 %1 至 %2 条记录</source>
        <translation>Records %1 to %2</translation>
    </message>
    <message>
        <source>方位角</source>
        <translation>Heading</translation>
    </message>
    <message>
        <source>俯仰角</source>
        <translation>Pitch</translation>
    </message>
    <message>
        <source>横滚角</source>
        <translation>Roll</translation>
    </message>
    <message>
        <source>方位角（°）</source>
        <translation>Heading (°)</translation>
    </message>
    <message>
        <source>俯仰角、横滚角（°）</source>
        <translation>Pitch, roll (°)</translation>
    </message>
    <message>
        <source>俯仰角（°）</source>
        <translation>Pitch (°)</translation>
    </message>
    <message>
        <source>时间（UTC，时:分:秒）</source>
        <translation>Time (UTC, h:m:s)</translation>
    </message>
    <message>
        <source>记录序号</source>
        <translation>Record number</translation>
    </message>
    <message>
        <source>已导出 %1</source>
        <translation>Exported %1</translation>
    </message>
    <message>
        <source>已送往打印机 %1</source>
        <translation>Sent to the printer %1</translation>
    </message>
</context>
<context>
    <name>RecordReader</name>
    <message>
        <source>不是普通文件</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>计时文件的时间倒退超过 1 秒，未采用</source>
        <translation>the timing file&apos;s times go back by more than a second; not used</translation>
    </message>
    <message>
        <source>计时文件的时间在两条消息之间跳过一天以上，未采用</source>
        <translation>the timing file&apos;s times jump by more than a day between two messages; not used</translation>
    </message>
    <message>
        <source>计时文件的时间不在 2000–2100 年间，未采用</source>
        <translation>the timing file&apos;s times are outside the years 2000–2100; not used</translation>
    </message>
    <message>
        <source>计时文件没有一条完整的时间，未采用</source>
        <translation>the timing file holds no whole entry; not used</translation>
    </message>
    <message>
        <source>GGA/RMC/ZDA 的时间倒退超过 1 秒，未采用</source>
        <translation>the GGA/RMC/ZDA times go back by more than a second; not used</translation>
    </message>
    <message>
        <source>GGA/RMC/ZDA 的时间在两条消息之间跳过一天以上，未采用</source>
        <translation>the GGA/RMC/ZDA times jump by more than a day between two messages; not used</translation>
    </message>
    <message>
        <source>GGA/RMC/ZDA 的时间不在 2000–2100 年间，未采用</source>
        <translation>the GGA/RMC/ZDA times are outside the years 2000–2100; not used</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>计时文件不是普通文件，未采用</source>
        <translation>the timing file is not a regular file; not used</translation>
    </message>
    <message>
        <source>计时文件无法读取（%1），未采用</source>
        <translation>the timing file cannot be read (%1); not used</translation>
    </message>
    <message>
        <source>计时文件不是本程序的计时文件，未采用</source>
        <translation>the timing file is not one of this program&apos;s; not used</translation>
    </message>
</context>
<context>
    <name>ReplacingFile</name>
    <message>
        <source>无法写入文件：%1
%2</source>
        <translation>Cannot write file: %1
%2</translation>
    </message>
    <message>
        <source>它不是普通文件（而是设备、管道、套接字或文件夹），不能被替换</source>
        <translation>It is not a regular file (but a device, pipe, socket or folder) and cannot be replaced.</translation>
    </message>
    <message>
        <source>这是%1，不能覆盖它</source>
        <translation>It is %1 and must not be overwritten.</translation>
    </message>
    <message>
        <source>本程序正在写入这个文件，不能覆盖它</source>
        <translation>This program is writing to that file; it must not be overwritten.</translation>
    </message>
</context>
<context>
    <name>ReplayDlg</name>
    <message>
        <source>时间来源：接收时间文件（与记录时完全一致）</source>
        <translation>Times: timing file (exactly as recorded)</translation>
    </message>
    <message>
        <source>时间来源：没有接收时间文件，按 GGA/RMC/ZDA 语句中的时间</source>
        <translation>Times: no timing file; from the GGA/RMC/ZDA sentences</translation>
    </message>
    <message>
        <source>时间来源：没有接收时间文件和时间语句，按每秒 10 条估计</source>
        <translation>Times: no timing file or time sentences; estimated at 10 per second</translation>
    </message>
    <message>
        <source>时间来源：无</source>
        <translation>Times: none</translation>
    </message>
    <message>
        <source>最快</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>数据回放</source>
        <translation>Replay</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>单步</source>
        <translation>Step</translation>
    </message>
    <message>
        <source>结束回放</source>
        <translation>End Replay</translation>
    </message>
    <message>
        <source>速度：</source>
        <translation>Speed:</translation>
    </message>
    <message>
        <source>无法回放记录文件：%1
%2</source>
        <translation>Cannot replay record file: %1
%2</translation>
    </message>
    <message>
        <source>记录文件：</source>
        <translation>Record file: </translation>
    </message>
    <message>
        <source>回放</source>
        <translation>Replay</translation>
    </message>
    <message>
        <source>，已结束</source>
        <translation>, ended</translation>
    </message>
    <message>
        <source>，暂停</source>
        <translation>, paused</translation>
    </message>
    <message>
        <source>%1，第 %2 条</source>
        <translation>%1, message %2</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>时间来源：按 GGA/RMC/ZDA 语句中的时间（%1）</source>
        <translation>Times: from the GGA/RMC/ZDA sentences (%1)</translation>
    </message>
    <message>
        <source>时间来源：按每秒 10 条估计（%1）</source>
        <translation>Times: estimated at 10 per second (%1)</translation>
    </message>
    <message>
        <source>（另有数据源：%1）</source>
        <translation> (further sources: %1)</translation>
    </message>
</context>
<context>
    <name>SerialMonitorDlg</name>
    <message>
        <source>串口监视</source>
        <translation>Serial Monitor</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>清空接收区</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
</context>
<context>
    <name>SessionReport</name>
    <message>
        <source>第 %1 条记录</source>
        <translation>record %1</translation>
    </message>
    <message>
        <source>%1，%2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>俯仰角</source>
        <translation>pitch</translation>
    </message>
    <message>
        <source>横滚角</source>
        <translation>roll</translation>
    </message>
    <message>
        <source>数据中断</source>
        <translation>data lost</translation>
    </message>
    <message>
        <source>报警</source>
        <translation>alarm</translation>
    </message>
    <message>
        <source>静音</source>
        <translation>Silence</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>acknowledged</translation>
    </message>
    <message>
        <source>已恢复（未确认）</source>
        <translation>cleared (unacknowledged)</translation>
    </message>
    <message>
        <source>恢复正常</source>
        <translation>normal</translation>
    </message>
    <message>
        <source>（限值 %1）</source>
        <translation> (limit %1)</translation>
    </message>
    <message>
        <source>最大俯仰角：</source>
        <translation>Largest pitch: </translation>
    </message>
    <message>
        <source>最大横滚角：</source>
        <translation>Largest roll: </translation>
    </message>
    <message>
        <source>未收到
</source>
        <translation>not received
</translation>
    </message>
    <message>
        <source>%1°（%2）
</source>
        <translation>%1° (%2)
</translation>
    </message>
    <message>
        <source>俯仰角达到或超过 %1°：</source>
        <translation>Pitch at or beyond %1°: </translation>
    </message>
    <message>
        <source>横滚角达到或超过 %1°：</source>
        <translation>Roll at or beyond %1°: </translation>
    </message>
    <message>
        <source>%1 秒，</source>
        <translation>%1 s, </translation>
    </message>
    <message>
        <source>%1 条记录
</source>
        <translation>%1 records
</translation>
    </message>
    <message>
        <source>文件：%1
</source>
        <translation>File: %1
</translation>
    </message>
    <message>
        <source>记录：%1 条
</source>
        <translation>Records: %1
</translation>
    </message>
    <message>
        <source>开始：%1
</source>
        <translation>Start: %1
</translation>
    </message>
    <message>
        <source>结束：%1
</source>
        <translation>End: %1
</translation>
    </message>
    <message>
        <source>时长：%1
</source>
        <translation>Duration: %1
</translation>
    </message>
    <message>
        <source>时长：未知（文件中没有时间）
</source>
        <translation>Duration: unknown (no times in the file)
</translation>
    </message>
    <message>
        <source>各类消息：
</source>
        <translation>Messages by type:
</translation>
    </message>
    <message>
        <source>  %1：%2 条
</source>
        <translation>  %1: %2
</translation>
    </message>
    <message>
        <source>数据中断（超过 %1 秒）：</source>
        <translation>Data gaps (over %1 s): </translation>
    </message>
    <message>
        <source>文件中没有时间，无法判断
</source>
        <translation>cannot tell, no times in the file
</translation>
    </message>
    <message>
        <source>无
</source>
        <translation>none
</translation>
    </message>
    <message>
        <source>%1 处
</source>
        <translation>%1
</translation>
    </message>
    <message>
        <source>  %1 起 %2 秒（第 %3 条记录之后）
</source>
        <translation>  %1, %2 s (after record %3)
</translation>
    </message>
    <message>
        <source>报警事件：</source>
        <translation>Alarm events: </translation>
    </message>
    <message>
        <source>%1 条
</source>
        <translation>%1
</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>俯仰角达到或超过当时的限值（%1）：</source>
        <translation>Pitch at or beyond the limit in force (%1): </translation>
    </message>
    <message>
        <source>横滚角达到或超过当时的限值（%1）：</source>
        <translation>Roll at or beyond the limit in force (%1): </translation>
    </message>
    <message>
        <source>  限值 %1° 时：%2</source>
        <translation>  at the limit %1°: %2</translation>
    </message>
    <message>
        <source>其他来源的航向（与首个来源比较）：
</source>
        <translation>The other sources&apos; headings (against the first source&apos;s):
</translation>
    </message>
    <message>
        <source>%1：记录无法读取（%2）</source>
        <translation>%1: the record cannot be read (%2)</translation>
    </message>
    <message>
        <source>%1：%2 个航向，没有与首个来源同时有效的航向可比较</source>
        <translation>%1: %2 headings, none valid at a time the first source had one to compare with</translation>
    </message>
    <message>
        <source>%1：比较 %2 次，航向差平均 %3°，最大 %4°（%5），达到或超过 %6° 共 %7 秒，报警 %8 次</source>
        <translation>%1: compared %2 times, heading difference mean %3°, largest %4° (%5), at or beyond %6° for %7 s, %8 alarms</translation>
    </message>
    <message>
        <source>航向差</source>
        <translation>heading difference</translation>
    </message>
</context>
<context>
    <name>SessionSummary</name>
    <message>
        <source>数据包 %1</source>
        <translation>Packet %1</translation>
    </message>
    <message>
        <source>其他</source>
        <translation>Other</translation>
    </message>
</context>
<context>
    <name>SessionSummaryDlg</name>
    <message>
        <source>会话摘要</source>
        <translation>Session Summary</translation>
    </message>
    <message>
        <source>保存为 CSV…</source>
        <translation>Save as CSV…</translation>
    </message>
    <message>
        <source>保存为文本…</source>
        <translation>Save as Text…</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>文本文件 (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>保存会话摘要</source>
        <translation>Save Session Summary</translation>
    </message>
    <message>
        <source>-摘要.</source>
        <translation>-summary.</translation>
    </message>
</context>
<context>
    <name>SettingsKey</name>
    <message>
        <source>设置文件不是普通文件：%1
本次运行不读取也不保存设置</source>
        <translation>The settings file is not a regular file: %1
This run neither reads nor saves the settings.</translation>
    </message>
</context>
<context>
    <name>SurveyDialogs</name>
    <message>
        <source>船形选择</source>
        <translation>Vessel Outline</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>坐标库</source>
        <translation>Coordinate Library</translation>
    </message>
    <message>
        <source>文件[&amp;F]</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>新建</source>
        <translation>New</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>存储</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>另存</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>打印</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>功能[&amp;O]</source>
        <translation>&amp;Functions</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>推算</source>
        <translation>Bearing/Distance</translation>
    </message>
    <message>
        <source>生成</source>
        <translation>Parallel Lines</translation>
    </message>
    <message>
        <source>基点</source>
        <translation>Base point</translation>
    </message>
    <message>
        <source>测量点</source>
        <translation>Survey point</translation>
    </message>
    <message>
        <source>直角坐标</source>
        <translation>Grid (X/Y)</translation>
    </message>
    <message>
        <source>经纬度</source>
        <translation>Lat/Long</translation>
    </message>
    <message>
        <source>自动生成平行线</source>
        <translation>Generate Parallel Lines</translation>
    </message>
    <message>
        <source>方向距离推算</source>
        <translation>Bearing and Distance</translation>
    </message>
    <message>
        <source>航道布线参数</source>
        <translation>Channel Layout</translation>
    </message>
    <message>
        <source>调入库文件</source>
        <translation>Load library file</translation>
    </message>
    <message>
        <source>计划测线调入</source>
        <translation>Load Planned Lines</translation>
    </message>
    <message>
        <source>选择调入文件</source>
        <translation>Choose file to load</translation>
    </message>
    <message>
        <source>坐标作图</source>
        <translation>Plot Coordinates</translation>
    </message>
    <message>
        <source>选择库文件</source>
        <translation>Choose library file</translation>
    </message>
    <message>
        <source>1号点</source>
        <translation>Point 1</translation>
    </message>
    <message>
        <source>文字注记</source>
        <translation>Text Note</translation>
    </message>
    <message>
        <source>文字内容：</source>
        <translation>Text:</translation>
    </message>
    <message>
        <source>偏航窗口</source>
        <translation>Cross-track Window</translation>
    </message>
    <message>
        <source>录入</source>
        <translation>Entry</translation>
    </message>
    <message>
        <source>点号</source>
        <translation>Point</translation>
    </message>
    <message>
        <source>说明</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>删除行(&amp;D)</source>
        <translation>&amp;Delete Row</translation>
    </message>
    <message>
        <source>插入行(&amp;I)</source>
        <translation>&amp;Insert Row</translation>
    </message>
    <message>
        <source>添加行(&amp;A)</source>
        <translation>&amp;Add Row</translation>
    </message>
</context>
<context>
    <name>WebServer</name>
    <message>
        <source>网页服务地址 %1 无效：端口须为 0 到 65535 的数字（[主机:]端口）</source>
        <translation>The browser view&apos;s address %1 cannot be used: the port must be a number from 0 to 65535 ([host:]port)</translation>
    </message>
    <message>
        <source>网页服务地址 %1 无效：%2 不是 IP 地址</source>
        <translation>The browser view&apos;s address %1 cannot be used: %2 is not an IP address</translation>
    </message>
    <message>
        <source>无法在 %1 提供网页服务：%2</source>
        <translation>Cannot serve the browser view on %1: %2</translation>
    </message>
</context>
</TS>
