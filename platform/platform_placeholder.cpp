void vexo_platform_placeholder() {}
