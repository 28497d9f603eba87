void vexo_app_placeholder() {}
