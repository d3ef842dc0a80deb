<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name></name>
    <message id="hv_service_handler_failed_msg">
        <source>Synchronization failed: no services are available.</source>
        <translation>Synchronization failed: no services are available.</translation>
    </message>
    <message id="hv_service_handler_cancel_msg">
        <source>The operation was cancelled.</source>
        <translation>The operation was cancelled.</translation>
    </message>
</context>
</TS>
