<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AVCheckWidget</name>
    <message>
        <source>Settings</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Micphone</source>
        <translation>Micphone</translation>
    </message>
    <message>
        <source>Playout</source>
        <translation>Playout</translation>
    </message>
    <message>
        <source>Camera</source>
        <translation>Camera</translation>
    </message>
</context>
<context>
    <name>AddContactsWidget</name>
    <message>
        <source>Add Contacts</source>
        <translation>Add Contacts</translation>
    </message>
    <message>
        <source>Please input username or email address</source>
        <translation>Please input username or email address</translation>
    </message>
    <message>
        <source>Remarks Name</source>
        <translation>Remarks Name</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Optional</source>
        <translation>Optional</translation>
    </message>
</context>
<context>
    <name>CallWidget</name>
    <message>
        <source>Calling:</source>
        <translation>Calling:</translation>
    </message>
</context>
<context>
    <name>ContactItem</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
</context>
<context>
    <name>DetailReservationWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Meet Details</source>
        <translation>Meet Details</translation>
    </message>
    <message>
        <source>Meet Title :</source>
        <translation>Meet Title :</translation>
    </message>
    <message>
        <source>Meet ID :</source>
        <translation>Meet ID :</translation>
    </message>
    <message>
        <source>Meet Time :</source>
        <translation>Meet Time :</translation>
    </message>
    <message>
        <source> Meet Duration :</source>
        <translation> Meet Duration :</translation>
    </message>
    <message>
        <source>Meet Password :</source>
        <translation>Meet Password :</translation>
    </message>
    <message>
        <source>Moderator Password:</source>
        <translation>Moderator Password:</translation>
    </message>
    <message>
        <source>Start Meeting</source>
        <translation>Start Meeting</translation>
    </message>
    <message>
        <source>Edit Meeting</source>
        <translation>Edit Meeting</translation>
    </message>
    <message>
        <source>Share Meeting Link</source>
        <translation>Share Meeting Link</translation>
    </message>
    <message>
        <source>Delete Meeting</source>
        <translation>Delete Meeting</translation>
    </message>
    <message>
        <source>repeat every day</source>
        <translation>repeat every day</translation>
    </message>
    <message>
        <source>repeat every week</source>
        <translation>repeat every week</translation>
    </message>
    <message>
        <source>repeat every month</source>
        <translation>repeat every month</translation>
    </message>
    <message>
        <source>Shared links has been copied to the clipboard</source>
        <translation>Shared links has been copied to the clipboard</translation>
    </message>
    <message>
        <source>Whether to delete this conference?</source>
        <translation>Whether to delete this conference?</translation>
    </message>
</context>
<context>
    <name>DetailWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Meet Details</source>
        <translation>Meet Details</translation>
    </message>
    <message>
        <source>Meet Title :</source>
        <translation>Meet Title :</translation>
    </message>
    <message>
        <source>Meet ID :</source>
        <translation>Meet ID :</translation>
    </message>
    <message>
        <source>Meet Time :</source>
        <translation>Meet Time :</translation>
    </message>
    <message>
        <source> Meet Duration :</source>
        <translation> Meet Duration :</translation>
    </message>
    <message>
        <source>Meet Password :</source>
        <translation>Meet Password :</translation>
    </message>
    <message>
        <source>Moderator :</source>
        <translation>Moderator :</translation>
    </message>
    <message>
        <source>Start Meeting</source>
        <translation>Start Meeting</translation>
    </message>
    <message>
        <source>Moderator Password:</source>
        <translation>Moderator Password:</translation>
    </message>
    <message>
        <source>Meet Type:</source>
        <translation>Meet Type:</translation>
    </message>
    <message>
        <source>Fixed Meeting</source>
        <translation>Fixed Meeting</translation>
    </message>
</context>
<context>
    <name>DumpWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Program crashed</source>
        <translation>Program crashed</translation>
    </message>
    <message>
        <source>I would like to express my sincere apologies for the mistakes.
</source>
        <translation>I would like to express my sincere apologies for the mistakes.
</translation>
    </message>
    <message>
        <source>errorCode</source>
        <translation>errorCode</translation>
    </message>
    <message>
        <source>errorAddr</source>
        <translation>errorAddr</translation>
    </message>
</context>
<context>
    <name>HandsUpItem</name>
    <message>
        <source>Accept</source>
        <translation>Accept</translation>
    </message>
    <message>
        <source>Refuse</source>
        <translation>Refuse</translation>
    </message>
    <message>
        <source>Ignore</source>
        <translation>Ignore</translation>
    </message>
</context>
<context>
    <name>JoinMeetWidget</name>
    <message>
        <source>Join Conference</source>
        <translation>Join Conference</translation>
    </message>
    <message>
        <source>Join</source>
        <translation>Join</translation>
    </message>
    <message>
        <source>Please input meet number</source>
        <translation>Please input meet number</translation>
    </message>
    <message>
        <source>Please input meet password(Optional)</source>
        <translation>Please input meet password(Optional)</translation>
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
        <translation>Join</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>Login</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Use the current name at a later meeting</source>
        <translation>Use the current name at a later meeting</translation>
    </message>
    <message>
        <source>Automatic logon</source>
        <translation>Automatic logon</translation>
    </message>
    <message>
        <source>Please enter the room number</source>
        <translation>Please enter the room number</translation>
    </message>
    <message>
        <source>Please enter the password</source>
        <translation>Please enter the password</translation>
    </message>
    <message>
        <source>Please enter your name</source>
        <translation>Please enter your name</translation>
    </message>
    <message>
        <source>Please enter the username</source>
        <translation>Please enter the username</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>Meeting</source>
        <translation>Meeting</translation>
    </message>
    <message>
        <source>Personal Meeting ID :</source>
        <translation>Personal Meeting ID :</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Reservation Meetings</source>
        <translation>Reservation Meetings</translation>
    </message>
    <message>
        <source>Recents</source>
        <translation>Recents</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Instant Meeting</source>
        <translation>Instant Meeting</translation>
    </message>
    <message>
        <source>Join Meeting</source>
        <translation>Join Meeting</translation>
    </message>
    <message>
        <source>Reservation Meeting</source>
        <translation>Reservation Meeting</translation>
    </message>
    <message>
        <source>Home</source>
        <translation>Home</translation>
    </message>
    <message>
        <source>Meet</source>
        <translation>Meet</translation>
    </message>
    <message>
        <source>Reservation</source>
        <translation>Reservation</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Contacts</translation>
    </message>
    <message>
        <source>Window</source>
        <translation>Window</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>Ctrl+M</source>
        <translation>Ctrl+M</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Website</source>
        <translation>Website</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>Profile</translation>
    </message>
    <message>
        <source>Preference</source>
        <translation>Preference</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>Logout</source>
        <translation>Logout</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Velto</source>
        <translation>Velto</translation>
    </message>
    <message>
        <source>add a new contact</source>
        <translation>add a new contact</translation>
    </message>
    <message>
        <source>Clear all recent calls?</source>
        <translation>Clear all recent calls?</translation>
    </message>
    <message>
        <source>Runing</source>
        <translation>Runing</translation>
    </message>
    <message>
        <source>Shared links has been copied to the clipboard</source>
        <translation>Shared links has been copied to the clipboard</translation>
    </message>
</context>
<context>
    <name>MeetItem</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Meeting&apos;s ID :</source>
        <translation>Meeting&apos;s ID :</translation>
    </message>
</context>
<context>
    <name>MeetSetWidget</name>
    <message>
        <source>Personal conference setting</source>
        <translation>Personal conference setting</translation>
    </message>
    <message>
        <source>Meet ID :</source>
        <translation>Meet ID :</translation>
    </message>
    <message>
        <source>Meet Password :</source>
        <translation>Meet Password :</translation>
    </message>
    <message>
        <source>Moderator Password :</source>
        <translation>Moderator Password :</translation>
    </message>
    <message>
        <source>Random</source>
        <translation>Random</translation>
    </message>
    <message>
        <source>Commit</source>
        <translation>Commit</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Please input 4-8 digit password</source>
        <translation>Please input 4-8 digit password</translation>
    </message>
    <message>
        <source>Random Generation</source>
        <translation>Random Generation</translation>
    </message>
</context>
<context>
    <name>MessageBox</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>TextLabel</source>
        <translation>TextLabel</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
</context>
<context>
    <name>PreferencesWidget</name>
    <message>
        <source>Automatic logon</source>
        <translation>Automatic logon</translation>
    </message>
    <message>
        <source>Micphone</source>
        <translation>Micphone</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Preferences</translation>
    </message>
    <message>
        <source>General</source>
        <translation>General</translation>
    </message>
    <message>
        <source>Audio</source>
        <translation>Audio</translation>
    </message>
    <message>
        <source>Video</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>Recording</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>Auto start at the start of the computer</source>
        <translation>Auto start at the start of the computer</translation>
    </message>
    <message>
        <source>Automatically enter full screen mode when you start or join the meeting</source>
        <translation>Automatically enter full screen mode when you start or join the meeting</translation>
    </message>
    <message>
        <source>Automatic mute when joining the meeting</source>
        <translation>Automatic mute when joining the meeting</translation>
    </message>
    <message>
        <source>Close the camera when joining the meeting</source>
        <translation>Close the camera when joining the meeting</translation>
    </message>
    <message>
        <source>Display the offline contacts</source>
        <translation>Display the offline contacts</translation>
    </message>
    <message>
        <source>Speaker</source>
        <translation>Speaker</translation>
    </message>
    <message>
        <source>Test Speaker</source>
        <translation>Test Speaker</translation>
    </message>
    <message>
        <source>Output Level :</source>
        <translation>Output Level :</translation>
    </message>
    <message>
        <source>Output Volume :</source>
        <translation>Output Volume :</translation>
    </message>
    <message>
        <source>Please speak to your microphone.If you can&apos;t hear yout voice,select a different microphone.  </source>
        <translation>Please speak to your microphone.If you can&apos;t hear yout voice,select a different microphone.  </translation>
    </message>
    <message>
        <source>Test Micphone</source>
        <translation>Test Micphone</translation>
    </message>
    <message>
        <source>Input Level :</source>
        <translation>Input Level :</translation>
    </message>
    <message>
        <source>Input Volume :</source>
        <translation>Input Volume :</translation>
    </message>
    <message>
        <source>Automatically adjust microphone</source>
        <translation>Automatically adjust microphone</translation>
    </message>
    <message>
        <source>Camera : </source>
        <translation>Camera : </translation>
    </message>
    <message>
        <source>Video input device is occupied</source>
        <translation>Video input device is occupied</translation>
    </message>
    <message>
        <source>Stop Test</source>
        <translation>Stop Test</translation>
    </message>
</context>
<context>
    <name>ProfileWidget</name>
    <message>
        <source>Profile</source>
        <translation>Profile</translation>
    </message>
    <message>
        <source>UserName</source>
        <translation>UserName</translation>
    </message>
    <message>
        <source>Telphone</source>
        <translation>Telphone</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Edit</translation>
    </message>
</context>
<context>
    <name>QBaseContactsWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Contacts</translation>
    </message>
</context>
<context>
    <name>QBaseSearchLineEdit</name>
    <message>
        <source>contacts search</source>
        <translation>contacts search</translation>
    </message>
</context>
<context>
    <name>QCallSipWidget</name>
    <message>
        <source>CallSip</source>
        <translation>CallSip</translation>
    </message>
    <message>
        <source>Please input the sip number</source>
        <translation>Please input the sip number</translation>
    </message>
    <message>
        <source>Dial the fixed number, please add area code</source>
        <translation>Dial the fixed number, please add area code</translation>
    </message>
    <message>
        <source>e.g. 01012345678</source>
        <translation>e.g. 01012345678</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>CallPhone</source>
        <translation>CallPhone</translation>
    </message>
    <message>
        <source>Please input the phone number</source>
        <translation>Please input the phone number</translation>
    </message>
</context>
<context>
    <name>QConferenceDelayWidget</name>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Delay</source>
        <translation>Delay</translation>
    </message>
    <message>
        <source>Conference Delay</source>
        <translation>Conference Delay</translation>
    </message>
    <message>
        <source>The conference room will be closed in 15 minutes</source>
        <translation>The conference room will be closed in 15 minutes</translation>
    </message>
    <message>
        <source>The conference room will be closed in 10 minutes</source>
        <translation>The conference room will be closed in 10 minutes</translation>
    </message>
    <message>
        <source>The conference room will be closed in 5 minutes</source>
        <translation>The conference room will be closed in 5 minutes</translation>
    </message>
    <message>
        <source>whether to delay conference time(minute)</source>
        <translation>whether to delay conference time(minute)</translation>
    </message>
</context>
<context>
    <name>QConferenceInfoWidget</name>
    <message>
        <source>Participation Information</source>
        <translation>Participation Information</translation>
    </message>
    <message>
        <source>Basic information</source>
        <translation>Basic information</translation>
    </message>
    <message>
        <source>Meet ID:</source>
        <translation>Meet ID:</translation>
    </message>
    <message>
        <source>Meet Type:</source>
        <translation>Meet Type:</translation>
    </message>
    <message>
        <source>UserName:</source>
        <translation>UserName:</translation>
    </message>
    <message>
        <source>Role:</source>
        <translation>Role:</translation>
    </message>
    <message>
        <source>List of participants</source>
        <translation>List of participants</translation>
    </message>
</context>
<context>
    <name>QGetModeratorWidget</name>
    <message>
        <source>GetModerator</source>
        <translation>GetModerator</translation>
    </message>
    <message>
        <source>Please input moderator password</source>
        <translation>Please input moderator password</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>QHandsUpWidget</name>
    <message>
        <source>HandsUp</source>
        <translation>HandsUp</translation>
    </message>
</context>
<context>
    <name>QLayoutManagerWidget</name>
    <message>
        <source>LayoutManager</source>
        <translation>LayoutManager</translation>
    </message>
    <message>
        <source>Surround</source>
        <translation>Surround</translation>
    </message>
    <message>
        <source>Tiles</source>
        <translation>Tiles</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>masterScreen</source>
        <translation>masterScreen</translation>
    </message>
</context>
<context>
    <name>QNoticeWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>new participant comes into conference</source>
        <translation>new participant comes into conference</translation>
    </message>
    <message>
        <source>participant leaves from conference</source>
        <translation>participant leaves from conference</translation>
    </message>
    <message>
        <source>update master screen success</source>
        <translation>update master screen success</translation>
    </message>
    <message>
        <source>You are moderator now</source>
        <translation>You are moderator now</translation>
    </message>
    <message>
        <source>grant moderator success</source>
        <translation>grant moderator success</translation>
    </message>
    <message>
        <source>lock conference success</source>
        <translation>lock conference success</translation>
    </message>
    <message>
        <source>unlock conference success</source>
        <translation>unlock conference success</translation>
    </message>
    <message>
        <source>kick out participant success</source>
        <translation>kick out participant success</translation>
    </message>
    <message>
        <source>Lost morderator,conference will be close in 5 mins</source>
        <translation>Lost morderator,conference will be close in 5 mins</translation>
    </message>
    <message>
        <source>mute conference audio</source>
        <translation>mute conference audio</translation>
    </message>
    <message>
        <source>unmute conference audio</source>
        <translation>unmute conference audio</translation>
    </message>
    <message>
        <source>mute conference video</source>
        <translation>mute conference video</translation>
    </message>
    <message>
        <source>unmute conference video</source>
        <translation>unmute conference video</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>admin</source>
        <translation>admin</translation>
    </message>
    <message>
        <source>Request timeout</source>
        <translation>Request timeout</translation>
    </message>
    <message>
        <source>ID is null</source>
        <translation>ID is null</translation>
    </message>
    <message>
        <source>JID is null</source>
        <translation>JID is null</translation>
    </message>
    <message>
        <source>JID is illegal</source>
        <translation>JID is illegal</translation>
    </message>
    <message>
        <source>Authorized user JID is null</source>
        <translation>Authorized user JID is null</translation>
    </message>
    <message>
        <source>Authorized user JID is illegal</source>
        <translation>Authorized user JID is illegal</translation>
    </message>
    <message>
        <source>Username is null</source>
        <translation>Username is null</translation>
    </message>
    <message>
        <source>Passeord is null</source>
        <translation>Passeord is null</translation>
    </message>
    <message>
        <source>Nickname is null</source>
        <translation>Nickname is null</translation>
    </message>
    <message>
        <source>Endpoint is null</source>
        <translation>Endpoint is null</translation>
    </message>
    <message>
        <source>Client type is null</source>
        <translation>Client type is null</translation>
    </message>
    <message>
        <source>Domain is null</source>
        <translation>Domain is null</translation>
    </message>
    <message>
        <source>Conference ID is null</source>
        <translation>Conference ID is null</translation>
    </message>
    <message>
        <source>Conference number is null</source>
        <translation>Conference number is null</translation>
    </message>
    <message>
        <source>Moderator password is null</source>
        <translation>Moderator password is null</translation>
    </message>
    <message>
        <source>Conference password is null</source>
        <translation>Conference password is null</translation>
    </message>
    <message>
        <source>Lock type is null</source>
        <translation>Lock type is null</translation>
    </message>
    <message>
        <source>Lock type is illegal</source>
        <translation>Lock type is illegal</translation>
    </message>
    <message>
        <source>timestamp is illegal</source>
        <translation>timestamp is illegal</translation>
    </message>
    <message>
        <source>Recorder server is null</source>
        <translation>Recorder server is null</translation>
    </message>
    <message>
        <source>Recorder rule is null</source>
        <translation>Recorder rule is null</translation>
    </message>
    <message>
        <source>Recorder JID is null</source>
        <translation>Recorder JID is null</translation>
    </message>
    <message>
        <source>Recorder resource ID is null</source>
        <translation>Recorder resource ID is null</translation>
    </message>
    <message>
        <source>Extend time is illegal,less than 60 minutes</source>
        <translation>Extend time is illegal,less than 60 minutes</translation>
    </message>
    <message>
        <source>Count is null</source>
        <translation>Count is null</translation>
    </message>
    <message>
        <source>Count must be a number</source>
        <translation>Count must be a number</translation>
    </message>
    <message>
        <source>Page must be a number</source>
        <translation>Page must be a number</translation>
    </message>
    <message>
        <source>Page must be less than count</source>
        <translation>Page must be less than count</translation>
    </message>
    <message>
        <source>Date format is illegal</source>
        <translation>Date format is illegal</translation>
    </message>
    <message>
        <source>Friend ID is null</source>
        <translation>Friend ID is null</translation>
    </message>
    <message>
        <source>Friend nickname is null</source>
        <translation>Friend nickname is null</translation>
    </message>
    <message>
        <source>Max video number is 9</source>
        <translation>Max video number is 9</translation>
    </message>
    <message>
        <source>video number out of resource</source>
        <translation>video number out of resource</translation>
    </message>
    <message>
        <source>Conference is not exist</source>
        <translation>Conference is not exist</translation>
    </message>
    <message>
        <source>Conference is Locked</source>
        <translation>Conference is Locked</translation>
    </message>
    <message>
        <source>Focus is not found</source>
        <translation>Focus is not found</translation>
    </message>
    <message>
        <source>Videobridget is not found</source>
        <translation>Videobridget is not found</translation>
    </message>
    <message>
        <source>Conference password error</source>
        <translation>Conference password error</translation>
    </message>
    <message>
        <source>No available Conference</source>
        <translation>No available Conference</translation>
    </message>
    <message>
        <source>Conference number is illegal</source>
        <translation>Conference number is illegal</translation>
    </message>
    <message>
        <source>Conference is unopened</source>
        <translation>Conference is unopened</translation>
    </message>
    <message>
        <source>User has already in Conference</source>
        <translation>User has already in Conference</translation>
    </message>
    <message>
        <source>The Conference has ended</source>
        <translation>The Conference has ended</translation>
    </message>
    <message>
        <source>Create or join Conference failure</source>
        <translation>Create or join Conference failure</translation>
    </message>
    <message>
        <source>No available Conference in the reservation time range</source>
        <translation>No available Conference in the reservation time range</translation>
    </message>
    <message>
        <source>Conference endtime should be less than current time </source>
        <translation>Conference endtime should be less than current time </translation>
    </message>
    <message>
        <source>Conference lock status error</source>
        <translation>Conference lock status error</translation>
    </message>
    <message>
        <source> Participants are required</source>
        <translation> Participants are required</translation>
    </message>
    <message>
        <source>Joining conference failed</source>
        <translation>Joining conference failed</translation>
    </message>
    <message>
        <source>Not receiving messages of joining conference</source>
        <translation>Not receiving messages of joining conference</translation>
    </message>
    <message>
        <source>Conference is not in progress</source>
        <translation>Conference is not in progress</translation>
    </message>
    <message>
        <source>Conference room attendance limit or concurrent user number upper limit</source>
        <translation>Conference room attendance limit or concurrent user number upper limit</translation>
    </message>
    <message>
        <source>You can enter the meeting 15 minutes before the meeting starts</source>
        <translation>You can enter the meeting 15 minutes before the meeting starts</translation>
    </message>
    <message>
        <source>The conference room is being closed, please wait later</source>
        <translation>The conference room is being closed, please wait later</translation>
    </message>
    <message>
        <source>The conference began immediately, can not be modified</source>
        <translation>The conference began immediately, can not be modified</translation>
    </message>
    <message>
        <source>The conference is not reserved, cannot be modified</source>
        <translation>The conference is not reserved, cannot be modified</translation>
    </message>
    <message>
        <source>Resource error in conference room</source>
        <translation>Resource error in conference room</translation>
    </message>
    <message>
        <source>Request failed</source>
        <translation>Request failed</translation>
    </message>
    <message>
        <source>Recorder is not exist</source>
        <translation>Recorder is not exist</translation>
    </message>
    <message>
        <source>Too less partipants in conferece,record failed</source>
        <translation>Too less partipants in conferece,record failed</translation>
    </message>
    <message>
        <source>The upper limit of recorder</source>
        <translation>The upper limit of recorder</translation>
    </message>
    <message>
        <source>The recorder storage is full</source>
        <translation>The recorder storage is full</translation>
    </message>
    <message>
        <source>Current user is not moderator</source>
        <translation>Current user is not moderator</translation>
    </message>
    <message>
        <source>Conference has no moderator</source>
        <translation>Conference has no moderator</translation>
    </message>
    <message>
        <source>Recorder is closing,please waiting</source>
        <translation>Recorder is closing,please waiting</translation>
    </message>
    <message>
        <source>Recoder rule error</source>
        <translation>Recoder rule error</translation>
    </message>
    <message>
        <source>SIP number error</source>
        <translation>SIP number error</translation>
    </message>
    <message>
        <source>Recorder has existed</source>
        <translation>Recorder has existed</translation>
    </message>
    <message>
        <source>Recorder params error</source>
        <translation>Recorder params error</translation>
    </message>
    <message>
        <source>Recorder server is not exist</source>
        <translation>Recorder server is not exist</translation>
    </message>
    <message>
        <source>Username or password error</source>
        <translation>Username or password error</translation>
    </message>
    <message>
        <source>User status error</source>
        <translation>User status error</translation>
    </message>
    <message>
        <source>User is not exist</source>
        <translation>User is not exist</translation>
    </message>
    <message>
        <source>Login failed</source>
        <translation>Login failed</translation>
    </message>
    <message>
        <source>User has logout</source>
        <translation>User has logout</translation>
    </message>
    <message>
        <source>User has no authority</source>
        <translation>User has no authority</translation>
    </message>
    <message>
        <source>User origin password error</source>
        <translation>User origin password error</translation>
    </message>
    <message>
        <source>Photo format is not supported</source>
        <translation>Photo format is not supported</translation>
    </message>
    <message>
        <source>Photo is too big</source>
        <translation>Photo is too big</translation>
    </message>
    <message>
        <source>Initialization of user information failure</source>
        <translation>Initialization of user information failure</translation>
    </message>
    <message>
        <source>Users do not have second stream</source>
        <translation>Users do not have second stream</translation>
    </message>
    <message>
        <source>Authorized moderator failed</source>
        <translation>Authorized moderator failed</translation>
    </message>
    <message>
        <source>Moderator has already exist</source>
        <translation>Moderator has already exist</translation>
    </message>
    <message>
        <source>Moderator password error</source>
        <translation>Moderator password error</translation>
    </message>
    <message>
        <source>Moderator is sharing screen</source>
        <translation>Moderator is sharing screen</translation>
    </message>
    <message>
        <source>Moderator is sharing whiteboard</source>
        <translation>Moderator is sharing whiteboard</translation>
    </message>
    <message>
        <source>Conference resource is full</source>
        <translation>Conference resource is full</translation>
    </message>
    <message>
        <source>Conference is unavailable</source>
        <translation>Conference is unavailable</translation>
    </message>
    <message>
        <source>Conference is closing,please waiting</source>
        <translation>Conference is closing,please waiting</translation>
    </message>
    <message>
        <source>This operation will modify the participant&apos;s main audio switch, whether to continue</source>
        <translation>This operation will modify the participant&apos;s main audio switch, whether to continue</translation>
    </message>
    <message>
        <source>This operation will modify the attendees video switch, whether to continue</source>
        <translation>This operation will modify the attendees video switch, whether to continue</translation>
    </message>
    <message>
        <source>This operation will grant the host moderator permission, whether to continue</source>
        <translation>This operation will grant the host moderator permission, whether to continue</translation>
    </message>
    <message>
        <source>This operation will kick the participant out of the room, whether to continue</source>
        <translation>This operation will kick the participant out of the room, whether to continue</translation>
    </message>
    <message>
        <source>No permission to cancel after host mute</source>
        <translation>No permission to cancel after host mute</translation>
    </message>
    <message>
        <source>Screen sharing, you can not perform permission transfer operations</source>
        <translation>Screen sharing, you can not perform permission transfer operations</translation>
    </message>
    <message>
        <source>Whether to close whiteboard</source>
        <translation>Whether to close whiteboard</translation>
    </message>
    <message>
        <source>Whether to close screen sharing</source>
        <translation>Whether to close screen sharing</translation>
    </message>
    <message>
        <source>Whether to close record</source>
        <translation>Whether to close record</translation>
    </message>
    <message>
        <source>Current display mode does not support screen sharing</source>
        <translation>Current display mode does not support screen sharing</translation>
    </message>
    <message>
        <source>Can not change display mode when screen sharing</source>
        <translation>Can not change display mode when screen sharing</translation>
    </message>
    <message>
        <source>Can not transfer moderator to sip</source>
        <translation>Can not transfer moderator to sip</translation>
    </message>
    <message>
        <source>Can not screen share when video muted</source>
        <translation>Can not screen share when video muted</translation>
    </message>
    <message>
        <source>Can not screen share when share whitebord</source>
        <translation>Can not screen share when share whitebord</translation>
    </message>
    <message>
        <source>Can not share whitebord when screen sharing</source>
        <translation>Can not share whitebord when screen sharing</translation>
    </message>
    <message>
        <source>Network error</source>
        <translation>Network error</translation>
    </message>
    <message>
        <source>Lost morderator,conference will be close in 5 mins</source>
        <translation>Lost morderator,conference will be close in 5 mins</translation>
    </message>
    <message>
        <source>Video input device not detected</source>
        <translation>Video input device not detected</translation>
    </message>
    <message>
        <source>Audio input device not detected</source>
        <translation>Audio input device not detected</translation>
    </message>
    <message>
        <source>Audio output device not detected</source>
        <translation>Audio output device not detected</translation>
    </message>
    <message>
        <source>Video output device not detected,whether to join using single voice</source>
        <translation>Video output device not detected,whether to join using single voice</translation>
    </message>
    <message>
        <source>Video output device not detected,whether to join conference</source>
        <translation>Video output device not detected,whether to join conference</translation>
    </message>
    <message>
        <source>Video and audio device not detected</source>
        <translation>Video and audio device not detected</translation>
    </message>
    <message>
        <source>Audio device not detected</source>
        <translation>Audio device not detected</translation>
    </message>
    <message>
        <source>Video input device is occupied</source>
        <translation>Video input device is occupied</translation>
    </message>
    <message>
        <source>Call sip error</source>
        <translation>Call sip error</translation>
    </message>
    <message>
        <source>Call phone number error</source>
        <translation>Call phone number error</translation>
    </message>
    <message>
        <source>Update failed, Pleace check the network</source>
        <translation>Update failed, Pleace check the network</translation>
    </message>
    <message>
        <source>Your charge has been used up, please contact the operator. Thank you.</source>
        <translation>Your charge has been used up, please contact the operator. Thank you.</translation>
    </message>
    <message>
        <source>Set up successfully, restart and take effect.</source>
        <translation>Set up successfully, restart and take effect.</translation>
    </message>
    <message>
        <source>Server address is null</source>
        <translation>Server address is null</translation>
    </message>
    <message>
        <source>Password is null</source>
        <translation>Password is null</translation>
    </message>
    <message>
        <source>Get contact list error</source>
        <translation>Get contact list error</translation>
    </message>
    <message>
        <source>Moderator kicks you out from conference</source>
        <translation>Moderator kicks you out from conference</translation>
    </message>
    <message>
        <source>No available input devices are found</source>
        <translation>No available input devices are found</translation>
    </message>
    <message>
        <source>The other refused to invite</source>
        <translation>The other refused to invite</translation>
    </message>
    <message>
        <source>The caller has hung up</source>
        <translation>The caller has hung up</translation>
    </message>
    <message>
        <source>The call has been processed on other devices</source>
        <translation>The call has been processed on other devices</translation>
    </message>
    <message>
        <source>The call failed and the other was busy</source>
        <translation>The call failed and the other was busy</translation>
    </message>
    <message>
        <source>The other side has no response</source>
        <translation>The other side has no response</translation>
    </message>
    <message>
        <source>Too less partipants in conferece,share failed</source>
        <translation>Too less partipants in conferece,share failed</translation>
    </message>
    <message>
        <source>,Error code:</source>
        <translation>,Error code:</translation>
    </message>
    <message>
        <source>Unkown Error</source>
        <translation>Unkown Error</translation>
    </message>
</context>
<context>
    <name>QPickCandiateWidget</name>
    <message>
        <source>polling</source>
        <translation>polling</translation>
    </message>
    <message>
        <source>Please select user</source>
        <translation>Please select user</translation>
    </message>
</context>
<context>
    <name>QSecondStreamWidget</name>
    <message>
        <source>Add second channel video input</source>
        <translation>Add second channel video input</translation>
    </message>
    <message>
        <source>Input source</source>
        <translation>Input source</translation>
    </message>
    <message>
        <source>Share</source>
        <translation>Share</translation>
    </message>
    <message>
        <source>Refresh video devices</source>
        <translation>Refresh video devices</translation>
    </message>
    <message>
        <source>Please select video input device</source>
        <translation>Please select video input device</translation>
    </message>
    <message>
        <source>Not Found other video devices</source>
        <translation>Not Found other video devices</translation>
    </message>
</context>
<context>
    <name>QStaticsWidget</name>
    <message>
        <source>Packet lost:</source>
        <translation>Packet lost:</translation>
    </message>
    <message>
        <source>Resolution:</source>
        <translation>Resolution:</translation>
    </message>
</context>
<context>
    <name>QWhiteboardLineEdit</name>
    <message>
        <source>Type here:</source>
        <translation>Type here:</translation>
    </message>
</context>
<context>
    <name>RecentsItem</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
</context>
<context>
    <name>ReservationMeetWidget</name>
    <message>
        <source> Reservation Meeting</source>
        <translation> Reservation Meeting</translation>
    </message>
    <message>
        <source>Reservation Meeting</source>
        <translation>Reservation Meeting</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Meeting Subject :</source>
        <translation>Meeting Subject :</translation>
    </message>
    <message>
        <source>StartTime : </source>
        <translation>StartTime : </translation>
    </message>
    <message>
        <source>Duration : </source>
        <translation>Duration : </translation>
    </message>
    <message>
        <source>hours</source>
        <translation>hours</translation>
    </message>
    <message>
        <source>minutes</source>
        <translation>minutes</translation>
    </message>
    <message>
        <source>Periodic Meeting</source>
        <translation>Periodic Meeting</translation>
    </message>
    <message>
        <source>daily</source>
        <translation>daily</translation>
    </message>
    <message>
        <source>weekly</source>
        <translation>weekly</translation>
    </message>
    <message>
        <source>monthly</source>
        <translation>monthly</translation>
    </message>
    <message>
        <source>EndTime :</source>
        <translation>EndTime :</translation>
    </message>
    <message>
        <source>Meeting Password :</source>
        <translation>Meeting Password :</translation>
    </message>
    <message>
        <source>Moderator Password :</source>
        <translation>Moderator Password :</translation>
    </message>
    <message>
        <source>Max Video Number :</source>
        <translation>Max Video Number :</translation>
    </message>
    <message>
        <source>Optional</source>
        <translation>Optional</translation>
    </message>
    <message>
        <source>Auto Record</source>
        <translation>Auto Record</translation>
    </message>
    <message>
        <source>Commit</source>
        <translation>Commit</translation>
    </message>
    <message>
        <source>Please input 4-8 digit password</source>
        <translation>Please input 4-8 digit password</translation>
    </message>
    <message>
        <source>Random Generation</source>
        <translation>Random Generation</translation>
    </message>
    <message>
        <source>Subject contains special characters:</source>
        <translation>Subject contains special characters:</translation>
    </message>
    <message>
        <source>Please choose a start time</source>
        <translation>Please choose a start time</translation>
    </message>
    <message>
        <source>Please set length time</source>
        <translation>Please set length time</translation>
    </message>
    <message>
        <source>The start time has passed</source>
        <translation>The start time has passed</translation>
    </message>
    <message>
        <source>The end day lies before the start</source>
        <translation>The end day lies before the start</translation>
    </message>
</context>
<context>
    <name>RingCallWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Reject</source>
        <translation>Reject</translation>
    </message>
    <message>
        <source>Accept</source>
        <translation>Accept</translation>
    </message>
    <message>
        <source> Audio call</source>
        <translation> Audio call</translation>
    </message>
    <message>
        <source> Video call</source>
        <translation> Video call</translation>
    </message>
</context>
<context>
    <name>RingingWidget</name>
    <message>
        <source>Ringing</source>
        <translation>Ringing</translation>
    </message>
    <message>
        <source>Hang up</source>
        <translation>Hang up</translation>
    </message>
    <message>
        <source>Calling </source>
        <translation>Calling </translation>
    </message>
    <message>
        <source>,Please waiting...</source>
        <translation>,Please waiting...</translation>
    </message>
    <message>
        <source>is busy,Please ring later</source>
        <translation>is busy,Please ring later</translation>
    </message>
    <message>
        <source>is rejected,Please ring later</source>
        <translation>is rejected,Please ring later</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>ScreenShareWidget</name>
    <message>
        <source>Screen Share</source>
        <translation>Screen Share</translation>
    </message>
    <message>
        <source>Desktop Screen</source>
        <translation>Desktop Screen</translation>
    </message>
    <message>
        <source>Application Window</source>
        <translation>Application Window</translation>
    </message>
    <message>
        <source>Share</source>
        <translation>Share</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>The share could not be started</source>
        <translation>The share could not be started</translation>
    </message>
</context>
<context>
    <name>SystemTray</name>
    <message>
        <source>Open Velto</source>
        <translation>Open Velto</translation>
    </message>
    <message>
        <source>Switch Languages</source>
        <translation>Switch Languages</translation>
    </message>
    <message>
        <source>Chinese(Simplified)</source>
        <translation>Chinese(Simplified)</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Velto Desktop</source>
        <translation>Velto Desktop</translation>
    </message>
</context>
<context>
    <name>VeltoUpdate</name>
    <message>
        <source>Upgraged</source>
        <translation>Upgraged</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Now it&apos;s the latest version</source>
        <translation>Now it&apos;s the latest version</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Current Version:</source>
        <translation>Current Version:</translation>
    </message>
    <message>
        <source>Latest Version:</source>
        <translation>Latest Version:</translation>
    </message>
    <message>
        <source>Upgrade to the latest version?</source>
        <translation>Upgrade to the latest version?</translation>
    </message>
    <message>
        <source>Download...</source>
        <translation>Download...</translation>
    </message>
    <message>
        <source>Download completed!</source>
        <translation>Download completed!</translation>
    </message>
    <message>
        <source>Install</source>
        <translation>Install</translation>
    </message>
    <message>
        <source>Download failed!Please try again</source>
        <translation>Download failed!Please try again</translation>
    </message>
    <message>
        <source>The package could not be opened: %1</source>
        <translation>The package could not be opened: %1</translation>
    </message>
</context>
<context>
    <name>VideoControlWidget</name>
    <message>
        <source>micphone</source>
        <translation>micphone</translation>
    </message>
    <message>
        <source>video</source>
        <translation>video</translation>
    </message>
    <message>
        <source>patipants</source>
        <translation>patipants</translation>
    </message>
    <message>
        <source>share</source>
        <translation>share</translation>
    </message>
    <message>
        <source>annotate</source>
        <translation>annotate</translation>
    </message>
    <message>
        <source>record</source>
        <translation>record</translation>
    </message>
    <message>
        <source>whiteboard</source>
        <translation>whiteboard</translation>
    </message>
    <message>
        <source>layout</source>
        <translation>layout</translation>
    </message>
    <message>
        <source>sip</source>
        <translation>sip</translation>
    </message>
    <message>
        <source>callphone</source>
        <translation>callphone</translation>
    </message>
    <message>
        <source>handsup</source>
        <translation>handsup</translation>
    </message>
    <message>
        <source>lock</source>
        <translation>lock</translation>
    </message>
    <message>
        <source>chat</source>
        <translation>chat</translation>
    </message>
    <message>
        <source>screen</source>
        <translation>screen</translation>
    </message>
    <message>
        <source>local</source>
        <translation>local</translation>
    </message>
    <message>
        <source>getmoderator</source>
        <translation>getmoderator</translation>
    </message>
    <message>
        <source>fullscreen</source>
        <translation>fullscreen</translation>
    </message>
    <message>
        <source>closeConference</source>
        <translation>closeConference</translation>
    </message>
    <message>
        <source>ring</source>
        <translation>ring</translation>
    </message>
</context>
<context>
    <name>VideoWidget</name>
    <message>
        <source>Conference Room</source>
        <translation>Conference Room</translation>
    </message>
    <message>
        <source>Basic information</source>
        <translation>Basic information</translation>
    </message>
    <message>
        <source>Meet ID:</source>
        <translation>Meet ID:</translation>
    </message>
    <message>
        <source>Meet Type:</source>
        <translation>Meet Type:</translation>
    </message>
    <message>
        <source>UserName:</source>
        <translation>UserName:</translation>
    </message>
    <message>
        <source>Role:</source>
        <translation>Role:</translation>
    </message>
    <message>
        <source>SIP call-back number:</source>
        <translation>SIP call-back number:</translation>
    </message>
    <message>
        <source>List of participants</source>
        <translation>List of participants</translation>
    </message>
    <message>
        <source>Please enter the content...</source>
        <translation>Please enter the content...</translation>
    </message>
    <message>
        <source>one-time meeting</source>
        <translation>one-time meeting</translation>
    </message>
    <message>
        <source>Periodic meeting</source>
        <translation>Periodic meeting</translation>
    </message>
    <message>
        <source>temporary meeting</source>
        <translation>temporary meeting</translation>
    </message>
    <message>
        <source>fixed meeting</source>
        <translation>fixed meeting</translation>
    </message>
    <message>
        <source>Moderator</source>
        <translation>Moderator</translation>
    </message>
    <message>
        <source>Common user</source>
        <translation>Common user</translation>
    </message>
</context>
<context>
    <name>WhiteboardWidget</name>
    <message>
        <source>Whiteboard</source>
        <translation>Whiteboard</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>The whiteboard could not be saved as %1</source>
        <translation>The whiteboard could not be saved as %1</translation>
    </message>
</context>
</TS>
